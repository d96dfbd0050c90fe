#pragma once

#include "base/HttpBase.h"

class AvatarDownloaderHttp : public HttpBase {
    Q_OBJECT
public:
    using HttpBase::HttpBase;
    ~AvatarDownloaderHttp() override;

protected:
    void OnReply(QNetworkReply* reply, const QByteArray& data, int status_code) override;
};
