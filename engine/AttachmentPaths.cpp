#include "AttachmentPaths.h"

#include <QCryptographicHash>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "base/Account.h"

namespace {

// Room for the tag within the 255 bytes most file systems allow for a name.
constexpr int kMaxNameBytes = 240;

QString ReadRecord(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

bool WriteRecord(const QString& path, const QString& text) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    const QByteArray data = text.toUtf8();
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit()) {
        qDebug().noquote() << "!!! AttachmentPaths: cannot write" << path;
        return false;
    }
    return true;
}

// The name as a plain file name inside its folder; the server's text is not trusted.
QString SafeName(const QString& name) {
    const QString file_name = QFileInfo(name).fileName();
    if (file_name == QLatin1String(".") || file_name == QLatin1String(".."))
        return QString();
    return file_name;
}

bool IsRegularFile(const QString& path) {
    return !path.isEmpty() && QFileInfo(path).isFile();
}

}  // namespace

AttachmentPaths::AttachmentPaths(const QString& message_folder) : folder_(message_folder) {}

AttachmentPaths::AttachmentPaths() : AttachmentPaths(Account::MsgPath()) {}

QString AttachmentPaths::FolderName(int type) {
    switch (type) {
        case 2:
            return QStringLiteral("file");
        case 3:
            return QStringLiteral("image");
        case 4:
            return QStringLiteral("audio");
        case 5:
            return QStringLiteral("video");
        default:
            return QString();
    }
}

QString AttachmentPaths::PlainPath(const Attachment& attachment) const {
    const QString folder = FolderName(attachment.type);
    const QString name = SafeName(attachment.name);
    if (folder_.isEmpty() || folder.isEmpty() || name.isEmpty())
        return QString();
    return QStringLiteral("%1/%2/%3").arg(folder_, folder, name);
}

QString AttachmentPaths::TaggedPath(const Attachment& attachment) const {
    const QString plain = PlainPath(attachment);
    if (plain.isEmpty() || attachment.Key().isEmpty())
        return QString();
    const QString tag = QString::fromLatin1(
        QCryptographicHash::hash(attachment.Key().toUtf8(), QCryptographicHash::Sha1)
            .toHex()
            .left(8));
    const QFileInfo info(plain);
    QString base = info.completeBaseName();
    const QString suffix = info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
    while (!base.isEmpty() && (base + suffix).toUtf8().size() > kMaxNameBytes)
        base.chop(1);
    return QStringLiteral("%1/%2 (%3)%4").arg(info.absolutePath(), base, tag, suffix);
}

QString AttachmentPaths::OwnerRecord(const Attachment& attachment) const {
    const QString plain = PlainPath(attachment);
    if (plain.isEmpty())
        return QString();
    return QStringLiteral("%1/.index/owner/%2/%3")
        .arg(folder_, FolderName(attachment.type), QFileInfo(plain).fileName());
}

QString AttachmentPaths::SentRecord(const QString& message_id) const {
    bool number = false;
    message_id.toLongLong(&number);
    if (!number || message_id.toLongLong() <= 0 || folder_.isEmpty())
        return QString();
    return QStringLiteral("%1/.index/sent/%2").arg(folder_, message_id);
}

QString AttachmentPaths::FindSent(const Attachment& attachment) const {
    if (!attachment.sent_by_me)
        return QString();
    if (IsRegularFile(attachment.local_file))
        return attachment.local_file;
    const QString record = SentRecord(attachment.message_id);
    const QString sent = record.isEmpty() ? QString() : ReadRecord(record);
    return IsRegularFile(sent) ? sent : QString();
}

QString AttachmentPaths::Find(const Attachment& attachment) const {
    const QString sent = FindSent(attachment);
    if (!sent.isEmpty())
        return sent;
    const QString key = attachment.Key();
    if (key.isEmpty())
        return QString();
    const QString plain = PlainPath(attachment);
    if (IsRegularFile(plain) && ReadRecord(OwnerRecord(attachment)) == key)
        return plain;
    // A sender may name a file like another's tagged copy; that file is the sender's.
    const QString tagged = TaggedPath(attachment);
    Attachment as_plain = attachment;
    as_plain.name = QFileInfo(tagged).fileName();
    const bool claimed = !ReadRecord(OwnerRecord(as_plain)).isEmpty();
    return IsRegularFile(tagged) && !claimed ? tagged : QString();
}

QString AttachmentPaths::DownloadPath(const Attachment& attachment) const {
    const QString key = attachment.Key();
    const QString plain = PlainPath(attachment);
    if (key.isEmpty() || plain.isEmpty())
        return QString();
    const QString owner = ReadRecord(OwnerRecord(attachment));
    // A plain name without owner that is taken came from somewhere else: leave it alone.
    if (owner == key || (owner.isEmpty() && !QFileInfo::exists(plain)))
        return plain;
    return TaggedPath(attachment);
}

bool AttachmentPaths::Claim(const Attachment& attachment, const QString& path) const {
    if (path.isEmpty() || path != PlainPath(attachment))
        return !path.isEmpty();
    return WriteRecord(OwnerRecord(attachment), attachment.Key());
}

bool AttachmentPaths::RecordSent(const QString& message_id, const QString& local_path) const {
    const QString record = SentRecord(message_id);
    if (record.isEmpty() || !QFileInfo(local_path).isAbsolute())
        return false;
    return WriteRecord(record, QFileInfo(local_path).absoluteFilePath());
}
