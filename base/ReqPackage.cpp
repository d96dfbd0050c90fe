#include "ReqPackage.h"

#include <QDebug>

#include "ReqPackageHttp.h"
#include "Services.h"

ReqPackage::ReqPackage(QObject* parent) : QObject(parent), http_(new ReqPackageHttp(this)) {}

ReqPackage::~ReqPackage() {
    qDebug() << "ReqPackage::~ReqPackage";
}

void ReqPackage::Start(int id, int pass, const QString& path, const QString& text) {
    id_ = id;
    pass_ = pass;
    path_ = path;
    text_ = text;
    const QString url = QStringLiteral("%1%2").arg(Services::UnitBase(), path);
    qDebug().noquote().nospace()
        << QStringLiteral("------------------ %1 -----------------------------").arg(path);
    http_->Request(HttpBase::kGet, url, QByteArray(),
                   [this](bool ok, const QByteArray& data, const QString& status) {
                       if (!ok) {
                           qDebug().noquote().nospace() << path_ << " : get error: " << status;
                           return;
                       }
                       data_ = data;
                       emit req_data_ready(id_);
                   });
}
