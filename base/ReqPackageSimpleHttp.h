#pragma once

#include "HttpBase.h"

class ReqPackageSimpleHttp : public HttpBase {
    Q_OBJECT
public:
    using HttpBase::HttpBase;
    ~ReqPackageSimpleHttp() override;

protected:
    void OnReply(QNetworkReply* reply, const QByteArray& data, int status_code) override;
};
