#include "ReqPackageSimple.h"

#include <QDebug>

#include "FormBody.h"
#include "ReqPackageSimpleHttp.h"

ReqPackageSimple::ReqPackageSimple(QObject* parent)
    : QObject(parent), http_(new ReqPackageSimpleHttp(this)) {}

ReqPackageSimple::~ReqPackageSimple() {
    qDebug() << "ReqPackageSimple::~ReqPackageSimple";
}

void ReqPackageSimple::Start(int id, bool get, const QString& url, const QUrlQuery& query) {
    id_ = id;
    const QByteArray body = FormBody(query).Encode();
    qDebug().noquote().nospace() << QStringLiteral(
                                        "------------------ %1?%2-----------------------------")
                                        .arg(url, QString::fromUtf8(body));
    http_->Request(get ? HttpBase::kGet : HttpBase::kPost, url, body,
                   [this](bool ok, const QByteArray& data, const QString& status) {
                       qDebug().noquote().nospace() << "ReqPackageSimple::StartReq: " << status;
                       qDebug().noquote().nospace() << "data: " << QString::fromUtf8(data);
                       data_ = data;
                       emit req_data_ready(id_, ok, status);
                   });
}
