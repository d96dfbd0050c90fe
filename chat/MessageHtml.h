#pragma once

#include <QSize>
#include <QString>

struct MessageItemInfo;

// What a bubble's rich-text label shows for a stored message, by msg_type. Stored texts stay as
// received; only the display is built here.
class MessageHtml {
public:
    // Text with its "[name]" emoji tokens as 30x30 pictures and its line breaks as paragraphs.
    // The text is escaped first, so markup in a message is shown, never interpreted.
    static QString Text(const QString& content);
    // Pictures up to 333 pixels wide keep their size; wider ones get 169 on the shorter side.
    static QSize DisplaySize(const QSize& image);
    // The picture of an image or video bubble built from a record.
    static QString Picture(const QString& path, const QSize& size);
    // The same for a bubble made on this page before the message is stored.
    static QString LocalPicture(const QString& path, const QSize& size);
    // msg_type 3: "Error: load image: <path>" when the file is missing.
    static QString Image(const QString& path);
    // msg_type 4: the voice icon on the side of its sender and the length, the last "|" field
    // of the url.
    static QString Audio(const QString& path, const QString& url, bool received);
    // msg_type 5: the thumbnail beside the video, or the default picture.
    static QString Video(const QString& video_path);
    // msg_type 2: the stored content, or "MsgID_<message id>|<sent by me>|<url>" when empty.
    static QString FileContent(const MessageItemInfo& info);
    // The display content of a record whose attachment lies at `local_path`.
    static QString ForRecord(const MessageItemInfo& info, const QString& local_path);
    // The picture, voice or video of a message of `msg_type` whose file lies at `local_path`.
    static QString ForAttachment(int msg_type, const QString& local_path, const QString& url,
                                 bool received);
    // The real size of a picture file, read from its header; invalid when unreadable.
    static QSize ImageSize(const QString& path);
};
