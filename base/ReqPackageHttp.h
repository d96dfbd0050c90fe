#pragma once

#include "HttpBase.h"

class ReqPackageHttp : public HttpBase {
    Q_OBJECT
public:
    using HttpBase::HttpBase;
    ~ReqPackageHttp() override;

protected:
    void OnReply(QNetworkReply* reply, const QByteArray& data, int status_code) override;
};
