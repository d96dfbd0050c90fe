#include "MsgSendReceiveHttp.h"

#include <QDebug>

MsgSendReceiveHttp::~MsgSendReceiveHttp() {
    qDebug() << "MsgSendReceiveHttp::~MsgSendReceiveHttp";
}

void MsgSendReceiveHttp::OnReply(QNetworkReply* reply, const QByteArray& data, int status_code) {
    ReplyIndexed(reply, data, status_code);
}
