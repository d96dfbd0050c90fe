#pragma once

#include <QHash>
#include <QPair>
#include <QPixmap>
#include <QSize>
#include <QString>

// Round avatars of one avatar folder, read from disk once per id and size. The folder is listed
// once; a new picture for an id is announced with Invalidate.
class AvatarCache {
public:
    explicit AvatarCache(const QString& avatar_dir);

    // The round picture of `id` at `size`; null when the folder has no readable picture.
    QPixmap Round(int id, const QSize& size);
    // A picture of `id` arrived: its file and pixmaps are looked up again.
    void Invalidate(int id);

private:
    void IndexFolder();

    QString dir_;
    bool indexed_ = false;
    // id -> the first file named "<id>.*".
    QHash<int, QString> files_;
    // (id, packed size) -> round pixmap, null ones included.
    QHash<QPair<int, quint32>, QPixmap> pixmaps_;
};
