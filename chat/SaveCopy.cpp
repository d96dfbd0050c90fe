#include "SaveCopy.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

constexpr qint64 kPiece = 1 << 20;

QString& LastFolder() {
    // The downloads folder when the desktop has one, else home: never the program's folder.
    static QString folder = [] {
        const QString downloads =
            QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
        return QDir(downloads).exists() ? downloads : QDir::homePath();
    }();
    return folder;
}

SaveCopy::Asker& CurrentAsker() {
    static SaveCopy::Asker asker;
    return asker;
}

}  // namespace

void SaveCopy::SetAsker(Asker asker) {
    CurrentAsker() = std::move(asker);
}

QString SaveCopy::AskTarget(QWidget* parent, const QString& name) {
    if (CurrentAsker())
        return CurrentAsker()(QDir(LastFolder()).filePath(name));
    QFileDialog dialog(parent, QStringLiteral("保存文件"), QDir(LastFolder()).filePath(name),
                       QStringLiteral("*.*"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    const QString target = dialog.selectedFiles().first();
    LastFolder() = QFileInfo(target).absolutePath();
    return target;
}

bool SaveCopy::Copy(const QString& from, const QString& to) {
    QFile source(from);
    if (from.isEmpty() || to.isEmpty() || !source.open(QIODevice::ReadOnly)) {
        qDebug().noquote() << "!!! SaveCopy: cannot read" << from;
        return false;
    }
    if (QFileInfo(from).canonicalFilePath() == QFileInfo(to).canonicalFilePath())
        return true;
    QSaveFile target(to);
    if (!target.open(QIODevice::WriteOnly)) {
        qDebug().noquote() << "!!! SaveCopy: cannot write" << to;
        return false;
    }
    while (!source.atEnd()) {
        const QByteArray piece = source.read(kPiece);
        if (piece.isEmpty() || target.write(piece) != piece.size()) {
            target.cancelWriting();
            break;
        }
    }
    return target.commit();
}
