#include "ReqPackageSimpleHttp.h"

#include <QDebug>

ReqPackageSimpleHttp::~ReqPackageSimpleHttp() {
    qDebug() << "ReqPackageSimpleHttp::~ReqPackageSimpleHttp";
}

void ReqPackageSimpleHttp::OnReply(QNetworkReply*, const QByteArray& data, int status_code) {
    ReplyPlain(data, status_code);
}
