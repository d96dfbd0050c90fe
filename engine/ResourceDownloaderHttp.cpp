#include "ResourceDownloaderHttp.h"

#include <QDebug>

ResourceDownloaderHttp::~ResourceDownloaderHttp() {
    qDebug() << "ResourceDownloaderHttp::~ResourceDownloaderHttp";
}

void ResourceDownloaderHttp::OnReply(QNetworkReply* reply, const QByteArray& data,
                                     int status_code) {
    ReplyIndexed(reply, data, status_code);
}
