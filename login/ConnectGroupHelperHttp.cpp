#include "ConnectGroupHelperHttp.h"

#include <QDebug>

ConnectGroupHelperHttp::~ConnectGroupHelperHttp() {
    qDebug() << "ConnectGroupHelperHttp::~ConnectGroupHelperHttp";
}

void ConnectGroupHelperHttp::OnReply(QNetworkReply* reply, const QByteArray& data,
                                     int status_code) {
    ReplyIndexed(reply, data, status_code);
}
