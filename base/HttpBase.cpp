#include "HttpBase.h"

#include <QDebug>
#include <QMetaEnum>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

namespace {
const char kIndexProperty[] = "custom_index";
}

HttpBase::HttpBase(QObject* parent) : QObject(parent), manager_(new QNetworkAccessManager) {
    connect(manager_, &QNetworkAccessManager::finished, this, &HttpBase::OnFinished);
}

HttpBase::~HttpBase() {
    qDebug() << "HttpBase::~HttpBase";
    manager_->disconnect();
    delete manager_;
    callback_ = nullptr;
    indexed_callback_ = nullptr;
}

void HttpBase::Request(int mode, const QString& url, const QByteArray& body, HttpCallback callback,
                       int index, HttpIndexedCallback indexed_callback) {
    if (mode < kGet || mode > kPostUtf8)
        return;
    qDebug().noquote().nospace() << QStringLiteral("%1?%2").arg(url, QString::fromUtf8(body));
    qDebug() << body;
    if (index == -1) {
        callback_ = std::move(callback);
    } else {
        indexed_callback_ = std::move(indexed_callback);
    }

    QNetworkRequest request(QUrl(url, QUrl::TolerantMode));
    QNetworkReply* reply = nullptr;
    if (mode == kGet) {
        request.setHeader(QNetworkRequest::ContentTypeHeader, "application/json");
        reply = manager_->get(request);
    } else {
        request.setHeader(QNetworkRequest::ContentTypeHeader,
                          mode == kPost ? "application/x-www-form-urlencoded"
                                        : "application/x-www-form-urlencoded;charset=utf-8");
        request.setHeader(QNetworkRequest::ContentLengthHeader, body.size());
        reply = manager_->post(request, body);
    }
    reply->setProperty(kIndexProperty, index);
}

void HttpBase::OnFinished(QNetworkReply* reply) {
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    qDebug() << "HttpBase::HttpBase: status_code: " << status;
    qDebug().noquote().nospace() << reply->errorString();
    qDebug() << QMetaEnum::fromType<QNetworkReply::NetworkError>().valueToKey(reply->error());
    // A 4xx/5xx answer is reported as an error too, but its body is still the server's answer.
    const bool transport_failed = reply->error() != QNetworkReply::NoError && status == 0;
    OnReply(reply, transport_failed ? QByteArray() : reply->readAll(), status);
    reply->deleteLater();
}

void HttpBase::ReplyPlain(const QByteArray& data, int status_code) {
    if (callback_)
        callback_(status_code == 200, data, QString::number(status_code));
}

void HttpBase::ReplyIndexed(QNetworkReply* reply, const QByteArray& data, int status_code) {
    const int index = reply->property(kIndexProperty).toInt();
    if (indexed_callback_) {
        indexed_callback_(status_code == 200, data, QString::number(status_code), index);
    }
}
