#include "AvatarDownloaderHttp.h"

#include <QDebug>

AvatarDownloaderHttp::~AvatarDownloaderHttp() {
    qDebug() << "AvatarDownloaderHttp::~AvatarDownloaderHttp";
}

void AvatarDownloaderHttp::OnReply(QNetworkReply* reply, const QByteArray& data, int status_code) {
    ReplyIndexed(reply, data, status_code);
}
