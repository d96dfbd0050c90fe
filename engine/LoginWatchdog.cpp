#include "LoginWatchdog.h"

#include <QDebug>
#include <QTimer>

LoginWatchdog::LoginWatchdog(int interval_ms, QObject* parent)
    : QObject(parent), timer_(new QTimer(this)) {
    timer_->setInterval(interval_ms);
    timer_->setSingleShot(true);
    connect(timer_, &QTimer::timeout, this, &LoginWatchdog::OnTimeout);
}

LoginWatchdog::~LoginWatchdog() {
    timer_->stop();
}

bool LoginWatchdog::IsRunning() const {
    return timer_->isActive();
}

int LoginWatchdog::IntervalMs() const {
    return timer_->interval();
}

void LoginWatchdog::OnHeartMsgEid(const QString& eid_str) {
    if (eid_str == QLatin1String("1")) {
        timer_->stop();
        qDebug().noquote() << "LoginWatchdog: login no longer valid";
        emit re_login();
        return;
    }
    timer_->start();
}

void LoginWatchdog::Stop() {
    timer_->stop();
}

void LoginWatchdog::OnTimeout() {
    timer_->stop();
    qDebug().noquote() << "LoginWatchdog: no heartbeat answer";
    emit re_login();
}
