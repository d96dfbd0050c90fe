#include "HeartBeatMsgHttp.h"

#include <QDebug>

HeartBeatMsgHttp::~HeartBeatMsgHttp() {
    qDebug() << "HeartBeatMsgHttp::~HeartBeatMsgHttp";
}

void HeartBeatMsgHttp::OnReply(QNetworkReply*, const QByteArray& data, int status_code) {
    ReplyPlain(data, status_code);
}
