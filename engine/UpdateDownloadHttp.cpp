#include "UpdateDownloadHttp.h"

#include <QDebug>
#include <QNetworkReply>

UpdateDownloadHttp::~UpdateDownloadHttp() {
    qDebug() << "UpdateDownloadHttp::~UpdateDownloadHttp";
}

bool UpdateDownloadHttp::IsComplete(QNetworkReply* reply, const QByteArray& data) {
    if (reply->error() != QNetworkReply::NoError)
        return false;
    const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
    return !length.isValid() || length.toLongLong() == data.size();
}

void UpdateDownloadHttp::OnReply(QNetworkReply* reply, const QByteArray& data, int status_code) {
    if (status_code == 200 && !IsComplete(reply, data)) {
        qDebug() << "!!! UpdateDownloadHttp: the transfer was cut after" << data.size() << "bytes";
        // Status 0: no complete HTTP answer arrived.
        ReplyIndexed(reply, QByteArray(), 0);
        return;
    }
    ReplyIndexed(reply, data, status_code);
}
