#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <atomic>

class QThread;

// Reads the whole msg.db once, a while after a login that only looked at its header and tables,
// on a thread of the lowest priority and a read-only connection of its own. Damage it finds is
// marked for the next login, which moves the file aside; the session goes on with it meanwhile.
class BackgroundDbCheck : public QObject {
    Q_OBJECT
public:
    // Long enough for a login's catch-up to be stored first.
    static constexpr int kDelayMs = 20000;

    explicit BackgroundDbCheck(const QString& db_path, QObject* parent = nullptr);
    // Stops a check that runs and waits for its thread.
    ~BackgroundDbCheck() override;

    void Start(int delay_ms = kDelayMs);

signals:
    // A MsgDbCheck::State, emitted on the thread this object lives on.
    void checked(int state);

private:
    void Run();

    QString db_path_;
    QTimer timer_;
    std::atomic<bool> stop_{false};
    QThread* thread_ = nullptr;
};
