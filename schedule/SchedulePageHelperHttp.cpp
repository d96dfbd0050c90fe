#include "SchedulePageHelperHttp.h"

#include <QDebug>

SchedulePageHelperHttp::~SchedulePageHelperHttp() {
    qDebug() << "SchedulePageHelperHttp::~SchedulePageHelperHttp";
}

void SchedulePageHelperHttp::OnReply(QNetworkReply* reply, const QByteArray& data,
                                     int status_code) {
    ReplyIndexed(reply, data, status_code);
}
