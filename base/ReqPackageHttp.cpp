#include "ReqPackageHttp.h"

#include <QDebug>

ReqPackageHttp::~ReqPackageHttp() {
    qDebug() << "ReqPackageHttp::~ReqPackageHttp";
}

void ReqPackageHttp::OnReply(QNetworkReply*, const QByteArray& data, int status_code) {
    ReplyPlain(data, status_code);
}
