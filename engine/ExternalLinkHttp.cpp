#include "ExternalLinkHttp.h"

#include <QDebug>

ExternalLinkHttp::~ExternalLinkHttp() {
    qDebug() << "ExternalLinkHttp::~ExternalLinkHttp";
}

void ExternalLinkHttp::OnReply(QNetworkReply*, const QByteArray& data, int status_code) {
    ReplyPlain(data, status_code);
}
