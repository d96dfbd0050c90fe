#pragma once

#include <QHash>
#include <QPointer>
#include <QString>
#include <functional>

// File bubbles whose download is under way, by message id. Progress values go to the bubble
// that registered; "100" or an "err:" value ends its entry. A bubble that is gone is forgotten.
class DownloadRegistry {
public:
    using ShowPercent = std::function<void(const QString& percent)>;

    void Add(const QString& message_id, QObject* bubble, ShowPercent show_percent);
    // Hands each value to the bubble registered for its message id.
    void Update(const QHash<QString, QString>& message_id_percent);
    bool Contains(const QString& message_id) const { return entries_.contains(message_id); }
    int Size() const { return entries_.size(); }

private:
    struct Entry {
        QPointer<QObject> bubble;
        ShowPercent show_percent;
    };
    QHash<QString, Entry> entries_;
};
