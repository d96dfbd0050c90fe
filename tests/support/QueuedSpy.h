#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QTest>
#include <QVariant>

// QSignalSpy for objects that live on a worker thread. QSignalSpy appends from the emitting
// thread while the test thread reads, which can crash on a reallocation; this spy receives every
// emission through a queued hop, so its list is touched by the test thread alone.
// The argument types must be registered metatypes (EngineMetaTypes::Register does the engine's).
class QueuedSpy : public QObject, public QList<QVariantList> {
public:
    template <typename Sender, typename... Args>
    QueuedSpy(const Sender* sender, void (Sender::*signal)(Args...)) {
        connect(
            sender, signal, this,
            [this](Args... args) { append(QVariantList{QVariant::fromValue(args)...}); },
            Qt::QueuedConnection);
    }

    // Runs the event loop until one more emission arrived; false after `timeout_ms`.
    bool wait(int timeout_ms = 5000) {
        const int before = size();
        return QTest::qWaitFor([&] { return size() > before; }, timeout_ms);
    }
    // Runs the event loop until at least `n` emissions arrived.
    bool waitFor(int n, int timeout_ms = 5000) {
        return QTest::qWaitFor([&] { return size() >= n; }, timeout_ms);
    }
};
