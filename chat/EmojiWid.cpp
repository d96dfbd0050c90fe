#include "EmojiWid.h"

#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
const int kColumns = 9;
const int kButtonSize = 31;
const QSize kPopupSize(600, 196);
const char kButtonStyle[] =
    "#emoji_btn_%1 { border: none; border-radius: 4px; padding: 1px;"
    " image: url(:/resource/emoji_default/%2); }"
    "#emoji_btn_%1:hover { background: #e8f3fd; }";
}  // namespace

EmojiWid::EmojiWid(QWidget* parent) : QWidget(parent, Qt::Popup | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("emoji_widget"));
    setAttribute(Qt::WA_StyledBackground);
    setFixedSize(kPopupSize);
    Build();
}

const QStringList& EmojiWid::Names() {
    static const QStringList names = [] {
        QStringList lines;
        QFile file(QStringLiteral(":/resource/emoji_default/name"));
        if (file.open(QIODevice::ReadOnly)) {
            for (const QByteArray& line : file.readAll().split('\n')) {
                const QString name = QString::fromUtf8(line).trimmed();
                if (!name.isEmpty())
                    lines << name;
            }
        }
        return lines;
    }();
    return names;
}

void EmojiWid::Build() {
    auto* frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("emoji_bg_frame"));
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(frame);
    auto* grid = new QGridLayout(frame);
    grid->setSpacing(0);
    grid->setContentsMargins(3, 3, 3, 3);
    const QStringList& names = Names();
    for (int i = 0; i < names.size(); ++i) {
        auto* button = new QToolButton(frame);
        button->setObjectName(QStringLiteral("emoji_btn_%1").arg(i));
        button->setFixedSize(kButtonSize, kButtonSize);
        button->setCursor(Qt::PointingHandCursor);
        button->setToolTip(QFileInfo(names.at(i)).completeBaseName());
        button->setStyleSheet(QString::fromLatin1(kButtonStyle).arg(i).arg(names.at(i)));
        const QString name = names.at(i);
        connect(button, &QToolButton::clicked, this, [this, name] {
            hide();
            emit click_emoji_name(name);
        });
        grid->addWidget(button, i / kColumns, i % kColumns);
    }
}

void EmojiWid::PopUpAbove(QWidget* anchor) {
    QPoint pos = anchor->mapToGlobal(QPoint(0, 0)) - QPoint(0, height());
    // Inside the window when it is wide enough.
    const QWidget* window = anchor->window();
    const int right = window->mapToGlobal(QPoint(window->width(), 0)).x();
    pos.setX(qMax(window->mapToGlobal(QPoint(0, 0)).x(), qMin(pos.x(), right - width())));
    move(pos);
    show();
    raise();
}
