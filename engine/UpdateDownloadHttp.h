#pragma once

#include "base/HttpBase.h"

// Requests of the update download. Only a complete answer counts: a transfer cut after a
// status 200 arrives as a failure without data, so it never becomes an installer.
class UpdateDownloadHttp : public HttpBase {
    Q_OBJECT
public:
    using HttpBase::HttpBase;
    ~UpdateDownloadHttp() override;

    // Whether `reply` delivered its whole body without a transfer error.
    static bool IsComplete(QNetworkReply* reply, const QByteArray& data);

protected:
    void OnReply(QNetworkReply* reply, const QByteArray& data, int status_code) override;
    qint64 ReplyLimit() const override { return kFileReplyLimit; }
};
