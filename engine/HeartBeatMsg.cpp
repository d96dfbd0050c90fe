#include "HeartBeatMsg.h"

#include <QDateTime>
#include <QDebug>
#include <QRandomGenerator>
#include <QTimer>

#include "HeartBeatMsgHttp.h"
#include "base/FormBody.h"
#include "base/Json.h"
#include "base/ServicePaths.h"
#include "base/Services.h"

namespace {
constexpr const char* kMethod = service_paths::method::kMessageGetByMaxID2;
}

HeartBeatMsg::HeartBeatMsg(QObject* parent)
    : QObject(parent),
      account_(Account::GetAccountInfo(Account::CurUserId())),
      retry_timer_(new QTimer(this)) {
    connect(this, &HeartBeatMsg::heart_msg_ready, this, &HeartBeatMsg::OnHeartMsgReady,
            Qt::DirectConnection);
    retry_timer_->setSingleShot(true);
    // Never early: the wait is the least time between two polls.
    retry_timer_->setTimerType(Qt::PreciseTimer);
    connect(retry_timer_, &QTimer::timeout, this, &HeartBeatMsg::Post);
}

HeartBeatMsg::~HeartBeatMsg() {
    delete http_;
    qDebug() << "HeartBeatMsg::~HeartBeatMsg";
}

int HeartBeatMsg::MathNum() {
    QRandomGenerator generator(
        static_cast<quint32>(QDateTime::currentMSecsSinceEpoch() % 4294967295LL));
    return static_cast<int>(generator.generate() % 100);
}

void HeartBeatMsg::OnStart() {
    if (!http_)
        http_ = new HeartBeatMsgHttp;
}

void HeartBeatMsg::OnReqHeartMsg(QList<int> ids) {
    if (ids.size() < 4)
        return;
    OnStart();
    if (pending_ || retry_timer_->isActive()) {
        qDebug().noquote() << "!!! HeartBeatMsg::OnReqHeartMsg: a poll is still outstanding";
        return;
    }
    ids_ = ids;
    if (slow_next_) {
        slow_next_ = false;
        PostLater(retry_.Next());
        return;
    }
    Post();
}

void HeartBeatMsg::OnReplyStored(bool stored) {
    if (!stored)
        slow_next_ = true;
    else if (!slow_next_)
        retry_.Reset();
}

void HeartBeatMsg::PostLater(int delay_ms) {
    qDebug().noquote()
        << QStringLiteral("%1: next poll in %2 ms").arg(QLatin1String(kMethod)).arg(delay_ms);
    retry_timer_->start(delay_ms);
}

void HeartBeatMsg::Post() {
    qDebug().noquote() << QStringLiteral("------------------ %1 -----------------------------")
                              .arg(QLatin1String(kMethod));
    FormBody body;
    body.Add(QStringLiteral("User_ID"), account_.value(QStringLiteral("User_ID")))
        .Add(QStringLiteral("SessionID"), account_.value(QStringLiteral("SessionID")))
        .Add(QStringLiteral("MaxMessage_ID"), ids_.at(0))
        .Add(QStringLiteral("MaxMessageLog_ID"), ids_.at(1))
        .Add(QStringLiteral("MaxBellLog_ID"), ids_.at(2))
        .Add(QStringLiteral("MaxNumUpdateLog_ID"), ids_.at(3))
        .Add(QStringLiteral("MathNum"), MathNum());
    pending_ = true;
    const QString url =
        Services::InterfaceUrl(Services::UnitBase(account_), QLatin1String(kMethod));
    http_->Request(
        HttpBase::kPost, url, body.Encode(),
        [this](bool ok, const QByteArray& data, QString status) { OnReply(ok, data, status); });
}

void HeartBeatMsg::OnReply(bool ok, const QByteArray& data, const QString& status) {
    pending_ = false;
    qDebug().noquote() << QStringLiteral("%1: data: ").arg(QLatin1String(kMethod))
                       << QString::fromUtf8(data);
    emit heart_msg_ready(ok ? data : QByteArray());
    if (!ok) {
        qDebug().noquote() << QStringLiteral("%1 : get error: ").arg(QLatin1String(kMethod))
                           << status;
    }
}

void HeartBeatMsg::OnHeartMsgReady(const QByteArray& data) {
    const QString text = QString::fromUtf8(data);
    const Json json(text);
    if (!json.IsValid()) {
        qDebug().noquote() << QStringLiteral("%1: error: ").arg(QLatin1String(kMethod))
                           << json.Error();
        const int delay = retry_.Next();
        emit heart_msg_failed(delay);
        PostLater(delay);
        return;
    }
    emit heart_msg_to_parse(text);
    const QString eid = json.Text(QStringLiteral("Velta.EID"), QString());
    emit heart_msg_eid(eid);
    if (eid != QLatin1String("0")) {
        slow_next_ = true;
        qDebug().noquote() << QStringLiteral("%1: error: ").arg(QLatin1String(kMethod))
                           << json.Error() << ": "
                           << json.Text(QStringLiteral("Velta.ErrorMessage"), QString());
    }
}
