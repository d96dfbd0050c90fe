#include "HttpBase.h"

#include <QDebug>
#include <QMetaEnum>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

#include "LogText.h"
#include "TcpNoDelay.h"

namespace {
const char kIndexProperty[] = "custom_index";
const char kTooLargeProperty[] = "too_large";
// Longer values (a file in Base64) are logged by their length only.
constexpr int kLoggedValueBytes = 256;
// Data waiting to be taken from a reply: the network thread pauses beyond it.
constexpr qint64 kReadBufferBytes = 1024 * 1024;
// Room taken ahead for an announced answer; a larger one grows as it arrives.
constexpr qint64 kMaxReservedBytes = 256 * 1024 * 1024;

bool IsSecret(const QByteArray& name) {
    const QByteArray lower = name.toLower();
    return lower.contains("session") || lower.contains("password") || lower.contains("psw");
}

// The form body as the log shows it: secrets masked, long values cut, without copying the body.
QByteArray LoggedBody(const QByteArray& body) {
    QByteArray logged;
    int start = 0;
    while (start < body.size()) {
        int end = body.indexOf('&', start);
        if (end < 0)
            end = body.size();
        const int equals = body.indexOf('=', start);
        const int name_end = equals >= 0 && equals < end ? equals : end;
        const QByteArray name = body.mid(start, name_end - start);
        const int value_size = qMax(0, end - name_end - 1);
        if (!logged.isEmpty())
            logged.append('&');
        logged.append(name);
        if (name_end < end) {
            logged.append('=');
            if (IsSecret(QByteArray::fromPercentEncoding(name)))
                logged.append("***");
            else if (value_size > kLoggedValueBytes)
                logged.append(QByteArray::number(value_size) + " bytes");
            else
                logged.append(body.mid(name_end + 1, value_size));
        }
        start = end + 1;
    }
    return logged;
}
}  // namespace

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
    const QByteArray logged = LoggedBody(body);
    qDebug().noquote().nospace() << QStringLiteral("%1?%2").arg(url, QString::fromUtf8(logged));
    qDebug() << logged;
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
    LimitReadBuffer(reply);
    // The answer is taken as it arrives, so it is never held twice (the reply's buffer and a
    // copy of all of it) at the end.
    connect(reply, &QNetworkReply::readyRead, this, [this, reply] { TakeArrived(reply); });
    connect(reply, &QNetworkReply::downloadProgress, this,
            [this, index](qint64 received, qint64 total) {
                emit download_progress(index, received, total);
            });
    connect(reply, &QNetworkReply::metaDataChanged, this, [this, reply] {
        GiveUpWhenTooLarge(reply, reply->header(QNetworkRequest::ContentLengthHeader).toLongLong());
    });
}

bool HttpBase::GiveUpWhenTooLarge(QNetworkReply* reply, qint64 size) {
    if (size <= ReplyLimit() || reply->property(kTooLargeProperty).toBool())
        return false;
    qDebug().noquote() << QStringLiteral(
                              "!!! HttpBase: the answer of %1 is larger than %2 bytes, "
                              "not read any further")
                              .arg(LogText::Redacted(reply->url().toString()))
                              .arg(ReplyLimit());
    reply->setProperty(kTooLargeProperty, true);
    arrived_.remove(reply);
    reply->abort();
    return true;
}

void HttpBase::OnFinished(QNetworkReply* reply) {
    Deliver(reply);
    // Once the answer is on its way: the connection stays open for the next request, which
    // then leaves whole at once.
    TcpNoDelay::ApplyToOpenConnections();
}

void HttpBase::Deliver(QNetworkReply* reply) {
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    qDebug() << "HttpBase::HttpBase: status_code: " << status;
    qDebug().noquote().nospace() << reply->errorString();
    qDebug() << QMetaEnum::fromType<QNetworkReply::NetworkError>().valueToKey(reply->error());
    // A 4xx/5xx answer is reported as an error too, but its body is still the server's answer.
    // A transfer that broke off after a 200 status line is a failed connection: what arrived
    // of it must not pass for the whole answer.
    const bool transport_failed = reply->error() != QNetworkReply::NoError && status < 400;
    if (reply->property(kTooLargeProperty).toBool()) {
        arrived_.remove(reply);
        // Status 0: no answer that could be used arrived.
        OnReply(reply, QByteArray(), 0);
        reply->deleteLater();
        return;
    }
    TakeArrived(reply);
    const QByteArray data = arrived_.take(reply);
    if (transport_failed)
        OnReply(reply, QByteArray(), 0);
    else
        OnReply(reply, data, status);
    reply->deleteLater();
}

void HttpBase::LimitReadBuffer(QNetworkReply* reply) {
    // A limit set before the network thread has taken a POST up is lost there; set again once
    // the request is under way, it holds.
    const auto limit = [reply] { reply->setReadBufferSize(kReadBufferBytes); };
    limit();
    connect(reply, &QNetworkReply::uploadProgress, reply, limit);
    connect(reply, &QNetworkReply::metaDataChanged, reply, limit);
}

void HttpBase::TakeArrived(QNetworkReply* reply) {
    if (reply->property(kTooLargeProperty).toBool())
        return;
    const qint64 expected = reply->header(QNetworkRequest::ContentLengthHeader).toLongLong();
    if (GiveUpWhenTooLarge(reply, expected))
        return;
    QByteArray& data = arrived_[reply];
    if (data.isEmpty() && expected > 0 && expected <= kMaxReservedBytes)
        data.reserve(static_cast<int>(expected));
    if (GiveUpWhenTooLarge(reply, data.size() + reply->bytesAvailable()))
        return;
    data.append(reply->readAll());
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
