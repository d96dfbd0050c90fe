#pragma once

#include <QObject>
#include <QString>

class QTimer;

// Watches the poll loop: an EID "1" or silence for one interval sends the user back to login.
class LoginWatchdog : public QObject {
    Q_OBJECT
public:
    static constexpr int kDefaultIntervalMs = 60000;

    explicit LoginWatchdog(int interval_ms = kDefaultIntervalMs, QObject* parent = nullptr);
    ~LoginWatchdog() override;

    bool IsRunning() const;
    int IntervalMs() const;

signals:
    void re_login();

public slots:
    // Connected to HeartBeatMsg::heart_msg_eid.
    void OnHeartMsgEid(const QString& eid_str);
    // Stops watching until the next EID arrives (hidden window, logout).
    void Stop();

private:
    void OnTimeout();

    QTimer* timer_ = nullptr;
};
