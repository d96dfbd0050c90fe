#pragma once

#include <QList>
#include <QObject>
#include <QSet>
#include <QTimer>

// Gathers receipts for a moment before they are posted. A run of poll replies then posts one
// delivery receipt instead of one request (with a connection of its own) per reply, and the
// request is made after the message has been shown rather than while it is.
class ReceiptBatch : public QObject {
    Q_OBJECT
public:
    static constexpr int kDelayMs = 50;
    // A larger batch goes out at once: one form body stays a few kilobytes.
    static constexpr int kMaxIds = 500;

    explicit ReceiptBatch(QObject* parent = nullptr);

    void AddDelivered(const QList<int>& message_ids);
    void AddRead(int other_id);
    // Hands over whatever waits, now.
    void Flush();

signals:
    // Message ids delivered, in the order they came, and the conversations looked at.
    void due(QList<int> delivered, QList<int> read_other_ids);

private:
    void Arm();

    QTimer timer_;
    QList<int> delivered_;
    QSet<int> delivered_set_;
    QList<int> read_;
};
