#pragma once

#include <QString>

struct MessageItemInfo;

// What a message tells about its attachment, read from any of the forms its url travels in.
struct Attachment {
    int type = 0;  // msg_type: 2 file, 3 image, 4 audio, 5 video
    // The server's message id as text; empty (or "-1") while the message is unsent.
    QString message_id;
    // The url before its first "|": where the server keeps the file. Empty for a local file.
    QString reference;
    // The file's own name, as the sender called it.
    QString name;
    // A file sent from this computer whose url is still the path it was sent from.
    QString local_file;
    bool sent_by_me = false;

    // A message's url: "reference|name[|seconds or size]", or the local path of a file sent
    // from here.
    static Attachment FromUrl(int type, const QString& url, bool sent_by_me = false,
                              const QString& message_id = QString());
    // What the downloader's slots take (see RequestText); a file's url comes with its message
    // id in front: "message id|reference|name[|size]".
    static Attachment FromRequest(int type, const QString& request);
    // A file bubble's content: a local path, or "MsgID_<message id>|<1: sent by me>|<url>".
    static Attachment FromFileContent(const QString& content);
    static Attachment FromRecord(const MessageItemInfo& info);

    // The url the downloader's slots take for it: "message id|reference|name" for a file,
    // "reference|name" for media, the local path for a file not on the server yet.
    QString RequestText() const;
    // Whose file it is on disk: the reference, or the message id when there is none.
    QString Key() const;
};
