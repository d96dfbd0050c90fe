#include "PasteFiles.h"

#include <QColor>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>

#include "base/Account.h"
#include "engine/VideoThumbnail.h"

namespace {
const QSize kBlankThumbnail(360, 480);
}  // namespace

QString PasteFiles::TmpDir() {
    return Account::MsgPath() + QLatin1String("/tmp");
}

QString PasteFiles::Seconds() {
    return QString::number(QDateTime::currentSecsSinceEpoch());
}

QString PasteFiles::UniquePath(const QString& dir, const QString& base, const QString& suffix) {
    QString path = QStringLiteral("%1/%2.%3").arg(dir, base, suffix);
    // Two pastes within one second must not share a file before the first is sent.
    for (int n = 1; QFileInfo::exists(path); ++n)
        path = QStringLiteral("%1/%2_%3.%4").arg(dir, base).arg(n).arg(suffix);
    return path;
}

QString PasteFiles::SaveImage(const QImage& image) {
    QDir().mkpath(TmpDir());
    const QString path = UniquePath(TmpDir(), Seconds(), QStringLiteral("png"));
    return !image.isNull() && image.save(path, "PNG") ? path : QString();
}

QString PasteFiles::VideoThumbnail(const QString& video_path) {
    QDir().mkpath(TmpDir());
    const QString base =
        QStringLiteral("%1_%2").arg(QFileInfo(video_path).completeBaseName(), Seconds());
    const QString path = UniquePath(TmpDir(), base, QStringLiteral("png"));
    if (!::VideoThumbnail::Make(video_path, path)) {
        QImage blank(kBlankThumbnail, QImage::Format_RGB32);
        blank.fill(QColor(Qt::black));
        blank.save(path, "PNG");
    }
    return path;
}
