#pragma once

#include <QStringList>
#include <QWidget>

// The emoji picker that pops up above the emoji button: one button per picture of the emoji
// set, in the order of its name list.
class EmojiWid : public QWidget {
    Q_OBJECT
public:
    explicit EmojiWid(QWidget* parent = nullptr);

    // The lines of ":/resource/emoji_default/name", each an image file name such as "ok.png".
    static const QStringList& Names();
    // Shows the picker with its bottom left corner at the top left of `anchor`.
    void PopUpAbove(QWidget* anchor);

signals:
    void click_emoji_name(QString emoji_name);

private:
    void Build();
};
