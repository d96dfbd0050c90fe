#pragma once

#include "base/HttpBase.h"

class ResourceDownloaderHttp : public HttpBase {
    Q_OBJECT
public:
    using HttpBase::HttpBase;
    ~ResourceDownloaderHttp() override;

protected:
    void OnReply(QNetworkReply* reply, const QByteArray& data, int status_code) override;
    qint64 ReplyLimit() const override { return kFileReplyLimit; }
};
