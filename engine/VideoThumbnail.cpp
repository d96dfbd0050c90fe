#include "VideoThumbnail.h"

#include <QCryptographicHash>
#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include "base/AppInfo.h"

namespace {
#ifdef Q_OS_WIN
const char kProgram[] = "ffmpeg.exe";
#else
const char kProgram[] = "ffmpeg";
#endif
constexpr int kTimeoutMs = 30000;
const QByteArray kSignature("\x89PNG\r\n\x1a\n", 8);
const QByteArray kEnd("\0\0\0\0IEND\xae\x42\x60\x82", 12);

// The tool writes beside the target and the frame is moved in place when whole, so a reader
// never sees half a picture. The name holds no "%", which the tool would read as a frame number.
QString PartPath(const QString& png_path) {
    const QByteArray tag =
        QCryptographicHash::hash(png_path.toUtf8(), QCryptographicHash::Sha1).toHex().left(12);
    return QStringLiteral("%1/.%2.part.png")
        .arg(QFileInfo(png_path).absolutePath(), QString::fromLatin1(tag));
}

// Run in the folder of the output and given its bare name, so that no "%" of a folder name is
// read as a frame number either.
void Run(const QString& video_path, const QString& output) {
    const QFileInfo out(output);
    QProcess process;
    process.setWorkingDirectory(out.absolutePath());
    process.start(VideoThumbnail::Program(),
                  {"-i", video_path, "-y", "-f", "image2", "-ss", "00:00:00.2", out.fileName()});
    if (!process.waitForFinished(kTimeoutMs) && process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished();
    }
    if (!VideoThumbnail::IsPng(output)) {
        qDebug().noquote() << "QProcess: " << QString::fromLocal8Bit(process.readAllStandardError())
                           << process.errorString();
    }
}

}  // namespace

QString VideoThumbnail::PathFor(const QString& video_path) {
    const QFileInfo info(video_path);
    return QStringLiteral("%1/%2_thumbnail.png").arg(info.absolutePath(), info.completeBaseName());
}

QString VideoThumbnail::Program() {
    const QString bundled = AppInfo::ToolsPath() + QLatin1String(kProgram);
    if (!AppInfo::ToolsPath().isEmpty() && QFileInfo(bundled).isExecutable())
        return QFileInfo(bundled).absoluteFilePath();
    return QLatin1String(kProgram);
}

bool VideoThumbnail::IsPng(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() < kSignature.size() + kEnd.size())
        return false;
    if (file.read(kSignature.size()) != kSignature || !file.seek(file.size() - kEnd.size()))
        return false;
    return file.read(kEnd.size()) == kEnd;
}

bool VideoThumbnail::Make(const QString& video_path, const QString& png_path) {
    if (!QFileInfo(video_path).isFile() || png_path.isEmpty())
        return false;
    const QString part = PartPath(png_path);
    QFile::remove(part);
    // An absolute path, so no name is taken for an option or a protocol of the tool.
    Run(QFileInfo(video_path).absoluteFilePath(), part);
    if (!IsPng(part)) {
        QFile::remove(part);
        return IsPng(png_path);
    }
    QFile::remove(png_path);
    return QFile::rename(part, png_path);
}

bool VideoThumbnail::Ensure(const QString& video_path) {
    const QString thumbnail = PathFor(video_path);
    return IsPng(thumbnail) || Make(video_path, thumbnail);
}
