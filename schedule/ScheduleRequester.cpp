#include "ScheduleRequester.h"

#include <QDebug>

#include "base/FormBody.h"
#include "base/HttpBase.h"
#include "base/ServicePaths.h"
#include "base/Services.h"

namespace {

// custom_index = (serial * kChannels + channel) * kKinds + kind.
const int kKinds = 16;
const int kChannels = 16;

int Tag(int serial, int channel, int kind) {
    return (serial * kChannels + channel) * kKinds + kind;
}

}  // namespace

ScheduleRequester::ScheduleRequester(HttpBase* http, Handler handler, QObject* parent)
    : QObject(parent), http_(http), handler_(std::move(handler)) {
    http_->setParent(this);
}

QString ScheduleRequester::Url(const QString& method) {
    const QString base = Services::UnitBase();
    return base.isEmpty() ? QString() : Services::ScheduleUrl(base, method);
}

QString ScheduleRequester::WebPageUrl() {
    return QString::fromLatin1(service_paths::kScheduleWebPage).arg(Services::UnitBase());
}

void ScheduleRequester::Post(int channel, int kind, const QString& method, const FormBody& body) {
    Q_ASSERT(channel >= 0 && channel < kChannels && kind >= 0 && kind < kKinds);
    qDebug().noquote()
        << QStringLiteral("------------------ %1 -----------------------------").arg(method);
    const QString url = Url(method);
    // Wraps around long before int would: a tag only has to differ from the tags in flight.
    serial_ = (serial_ + 1) % 0x7ffff;
    latest_[channel] = serial_;
    methods_[kind] = method;
    if (url.isEmpty()) {
        qDebug().noquote() << "!!! ScheduleRequester::Post: no unit base URL for" << method;
        return;
    }
    http_->Request(HttpBase::kPost, url, body.Encode(), nullptr, Tag(serial_, channel, kind),
                   [this](bool ok, const QByteArray& data, QString status, int index) {
                       OnReply(ok, data, status, index);
                   });
}

void ScheduleRequester::Cancel(int channel) {
    latest_.remove(channel);
}

void ScheduleRequester::OnReply(bool ok, const QByteArray& data, const QString& status, int index) {
    const int kind = index % kKinds;
    const int channel = index / kKinds % kChannels;
    const int serial = index / kKinds / kChannels;
    const QString method = methods_.value(kind);
    if (latest_.value(channel, -1) != serial) {
        qDebug().noquote() << "ScheduleRequester: stale reply dropped:" << method;
        return;
    }
    latest_.remove(channel);
    if (!ok) {
        qDebug().noquote() << QStringLiteral("!!! %1: status: %2").arg(method, status);
        return;
    }
    qDebug().noquote().nospace() << method << ": data: " << QString::fromUtf8(data);
    handler_(kind, data);
}
