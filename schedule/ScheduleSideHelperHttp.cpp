#include "ScheduleSideHelperHttp.h"

#include <QDebug>

ScheduleSideHelperHttp::~ScheduleSideHelperHttp() {
    qDebug() << "ScheduleSideHelperHttp::~ScheduleSideHelperHttp";
}

void ScheduleSideHelperHttp::OnReply(QNetworkReply* reply, const QByteArray& data,
                                     int status_code) {
    ReplyIndexed(reply, data, status_code);
}
