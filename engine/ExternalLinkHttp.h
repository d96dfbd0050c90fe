#pragma once

#include "base/HttpBase.h"

class ExternalLinkHttp : public HttpBase {
    Q_OBJECT
public:
    using HttpBase::HttpBase;
    ~ExternalLinkHttp() override;

protected:
    void OnReply(QNetworkReply* reply, const QByteArray& data, int status_code) override;
};
