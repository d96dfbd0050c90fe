#include "LoginHttp.h"

#include <QDebug>
#include <QNetworkReply>

LoginHttp::LoginHttp(QObject* parent) : HttpBase(parent) {}

LoginHttp::~LoginHttp() {
    qDebug() << "LoginHttp::~LoginHttp";
}

void LoginHttp::OnReply(QNetworkReply* reply, const QByteArray& data, int status_code) {
    last_error_ = status_code == 0 ? reply->errorString() : QString();
    ReplyPlain(data, status_code);
}
