#include "VideoThumbnail.h"

#include <QDebug>
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
}  // namespace

QString VideoThumbnail::PathFor(const QString& video_path) {
    const QFileInfo info(video_path);
    return QStringLiteral("%1/%2_thumbnail.png").arg(info.absolutePath(), info.completeBaseName());
}

QString VideoThumbnail::Program() {
    const QString bundled = AppInfo::ToolsPath() + QLatin1String(kProgram);
    if (!AppInfo::ToolsPath().isEmpty() && QFileInfo(bundled).isExecutable())
        return bundled;
    return QLatin1String(kProgram);
}

bool VideoThumbnail::Ensure(const QString& video_path) {
    const QString thumbnail = PathFor(video_path);
    if (QFileInfo::exists(thumbnail))
        return true;
    QProcess process;
    // One frame only: without it ffmpeg 5 fails on the single output file.
    process.start(Program(), {"-i", video_path, "-y", "-f", "image2", "-ss", "00:00:00.2",
                              "-frames:v", "1", thumbnail});
    if (!process.waitForFinished(kTimeoutMs)) {
        process.kill();
        process.waitForFinished();
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        qDebug().noquote() << "QProcess: " << QString::fromLocal8Bit(process.readAllStandardError())
                           << process.errorString();
    }
    return QFileInfo::exists(thumbnail);
}
