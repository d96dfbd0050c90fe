#include "ReceiptBatch.h"

ReceiptBatch::ReceiptBatch(QObject* parent) : QObject(parent), timer_(this) {
    timer_.setSingleShot(true);
    timer_.setInterval(kDelayMs);
    connect(&timer_, &QTimer::timeout, this, &ReceiptBatch::Flush);
}

void ReceiptBatch::AddDelivered(const QList<int>& message_ids) {
    for (int id : message_ids) {
        if (!delivered_set_.contains(id)) {
            delivered_set_.insert(id);
            delivered_.append(id);
        }
    }
    if (delivered_.size() >= kMaxIds)
        Flush();
    else
        Arm();
}

void ReceiptBatch::AddRead(int other_id) {
    if (!read_.contains(other_id))
        read_.append(other_id);
    Arm();
}

void ReceiptBatch::Flush() {
    timer_.stop();
    if (delivered_.isEmpty() && read_.isEmpty())
        return;
    const QList<int> delivered = delivered_;
    const QList<int> read = read_;
    delivered_.clear();
    delivered_set_.clear();
    read_.clear();
    emit due(delivered, read);
}

void ReceiptBatch::Arm() {
    if (!timer_.isActive())
        timer_.start();
}
