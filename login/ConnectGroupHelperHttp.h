#pragma once

#include "base/HttpBase.h"

class ConnectGroupHelperHttp : public HttpBase {
    Q_OBJECT
public:
    using HttpBase::HttpBase;
    ~ConnectGroupHelperHttp() override;

protected:
    void OnReply(QNetworkReply* reply, const QByteArray& data, int status_code) override;
};
