#pragma once

#include "sim/PlatformSim.h"

#include <QByteArray>
#include <QHash>
#include <QMutex>
#include <QString>

// platform-sim running in-process for one test: demo data, an in-memory database, a free
// loopback port. Stops in the destructor.
class SimServer {
public:
    explicit SimServer(int hold_ms = 25000, int echo_delay_ms = 1500);
    ~SimServer();
    SimServer(const SimServer&) = delete;
    SimServer& operator=(const SimServer&) = delete;

    bool IsRunning() const { return running_; }
    int Port() const;
    // "127.0.0.1:<port>", what AppInfo::SetVendorHost expects.
    QString VendorHost() const;
    // "http://127.0.0.1:<port>/unit/<id>/".
    QString UnitBase(const QString& unit_id = QStringLiteral("1001")) const;
    // The "cur_unit" record: Unit_ID, UnitName, UnitUrl, UnitUrl2 joined by ",".
    QString UnitRecord(const QString& unit_id = QStringLiteral("1001")) const;
    // Heartbeats being held right now (QTRY_COMPARE on it before waking them).
    int HeldPolls() const { return sim_.HeldPolls(); }
    // How many requests platform-sim has answered under a method or log name ("Upload",
    // "Message_Send"), faulted ones included.
    int Answered(const QString& name) const;

    // A session as LoginUser would give it; empty for an unknown user.
    QString OpenSession(const QString& user);
    // The new message id, 0 on failure. Users by login or id, groups as "-301".
    qint64 SendChat(const QString& from, const QString& to, const QString& text);
    qint64 SendFile(const QString& from, const QString& to, int msg_type, const QString& name,
                    const QByteArray& data, int seconds = -1);
    qint64 Remind(const QString& to, int remind_id, const QString& text,
                  const QString& url = QString());
    bool SetUnread(const QString& user, int remind_id, int num);
    // How many sessions ended.
    int ExpireSessions(const QString& user);
    void SetFault(const QString& method, FaultKind kind, int value = 0, int count = 0);
    void ClearFaults(const QString& method = QString());
    // False once a limited fault has been used up (its last request arrived).
    bool HasFault(const QString& method) const;
    bool Publish(const QString& version, const QString& file_name, const QByteArray& data);

private:
    void Count(const std::string& line);

    mutable QMutex answered_mutex_;
    QHash<QString, int> answered_;
    PlatformSim sim_;
    bool running_ = false;
};
