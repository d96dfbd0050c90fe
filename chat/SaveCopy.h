#pragma once

#include <QString>
#include <functional>

class QWidget;

// "另存为" for attachments: asks where, then copies the file there.
class SaveCopy {
public:
    // The "保存文件" dialog suggesting `name` in the folder used last; empty when cancelled.
    static QString AskTarget(QWidget* parent, const QString& name);
    // Copies `from` to `to` in pieces, so a large file is never held in memory; a file already
    // at `to` is replaced only once the copy is whole.
    static bool Copy(const QString& from, const QString& to);

    // Answers in place of the dialog: the path chosen for the suggested one, empty to cancel.
    using Asker = std::function<QString(const QString& suggested)>;
    // Tests answer for the user; nullptr restores the dialog.
    static void SetAsker(Asker asker);
};
