#pragma once

#include <QString>

#include "Attachment.h"

// Where the attachments of one user's messages live: "<message folder>/<file|image|audio|video>".
// A download keeps the file's own name unless another message's file of that name is there
// already; it then gets the name with a tag of its own ("教案 (3f9a2c1b).doc"). Which message
// owns a plain name, and where the files sent from this computer are, is kept on disk under
// "<message folder>/.index", so every instance, on any thread and after a restart, finds the
// same file. Holds no state of its own but the folder.
class AttachmentPaths {
public:
    explicit AttachmentPaths(const QString& message_folder);
    // The signed-in user's message folder.
    AttachmentPaths();

    // "file", "image", "audio", "video"; empty for other types.
    static QString FolderName(int type);

    // The attachment's file on this computer; empty when it is not here (yet).
    QString Find(const Attachment& attachment) const;
    // Where a download of the attachment is to be written; empty when it has no usable name.
    QString DownloadPath(const Attachment& attachment) const;
    // Marks `path` (from DownloadPath) as this attachment's file, before it is written.
    bool Claim(const Attachment& attachment, const QString& path) const;
    // A file sent from this computer, found again by the message id the server gave it.
    bool RecordSent(const QString& message_id, const QString& local_path) const;

private:
    QString PlainPath(const Attachment& attachment) const;
    QString TaggedPath(const Attachment& attachment) const;
    QString OwnerRecord(const Attachment& attachment) const;
    QString SentRecord(const QString& message_id) const;
    QString FindSent(const Attachment& attachment) const;

    QString folder_;
};
