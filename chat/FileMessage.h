#pragma once

#include <QString>

// What a file message's bubble shows: the file's name and size, from its content (a local path
// for one's own upload, or "MsgID_<message id>|<sent by me>|<reference>|<name>|<size in KB>").
struct FileMessage {
    QString name;
    int size_kb = 0;

    static FileMessage Parse(const QString& content);
    // The type icon resource name ("file_word", ...) for a file name; the suffix as written.
    static QString IconFor(const QString& name);
};
