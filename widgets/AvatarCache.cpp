#include "AvatarCache.h"

#include <QDir>
#include <QGuiApplication>
#include <QStringList>

#include "RoundAvatar.h"

namespace {

quint32 Packed(const QSize& size) {
    return static_cast<quint32>(size.width()) << 16 | static_cast<quint32>(size.height() & 0xffff);
}

}  // namespace

AvatarCache::AvatarCache(const QString& avatar_dir) : dir_(avatar_dir) {}

QPixmap AvatarCache::Round(int id, const QSize& size) {
    const QPair<int, quint32> key(id, Packed(size));
    const auto known = pixmaps_.constFind(key);
    if (known != pixmaps_.constEnd())
        return known.value();
    IndexFolder();
    // Drawn for the sharpest screen; Qt scales it down on the others.
    const QPixmap round =
        RoundAvatar::FromFile(files_.value(id), size, qApp ? qApp->devicePixelRatio() : 1.0);
    pixmaps_.insert(key, round);
    return round;
}

void AvatarCache::Invalidate(int id) {
    for (auto it = pixmaps_.begin(); it != pixmaps_.end();) {
        if (it.key().first == id)
            it = pixmaps_.erase(it);
        else
            ++it;
    }
    if (!indexed_)
        return;
    const QString file = RoundAvatar::FileOf(dir_, QString::number(id));
    if (file.isEmpty())
        files_.remove(id);
    else
        files_.insert(id, file);
}

void AvatarCache::IndexFolder() {
    if (indexed_ || dir_.isEmpty())
        return;
    indexed_ = true;
    // Sorted by name, so the first file of an id is the one RoundAvatar::FileOf picks.
    const QStringList names = QDir(dir_).entryList(QDir::Files, QDir::Name);
    for (const QString& name : names) {
        const QString stem = name.section(QLatin1Char('.'), 0, 0);
        bool ok = false;
        const int id = stem.toInt(&ok);
        // Exactly "<id>.", as the glob "<id>.*" of a single lookup matches.
        if (ok && stem == QString::number(id) && name.size() > stem.size() && !files_.contains(id))
            files_.insert(id, QStringLiteral("%1/%2").arg(dir_, name));
    }
}
