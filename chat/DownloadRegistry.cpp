#include "DownloadRegistry.h"

void DownloadRegistry::Add(const QString& message_id, QObject* bubble, ShowPercent show_percent) {
    entries_.insert(message_id, {bubble, std::move(show_percent)});
}

void DownloadRegistry::Update(const QHash<QString, QString>& message_id_percent) {
    for (auto it = message_id_percent.constBegin(); it != message_id_percent.constEnd(); ++it) {
        if (!entries_.contains(it.key()))
            continue;
        const QString& percent = it.value();
        const bool finished =
            percent == QLatin1String("100") || percent.startsWith(QLatin1String("err:"));
        // Taken out first: the bubble may register again from its handler.
        const Entry entry = finished ? entries_.take(it.key()) : entries_.value(it.key());
        if (entry.bubble)
            entry.show_percent(percent);
        else
            entries_.remove(it.key());
    }
}
