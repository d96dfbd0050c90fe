#include "SearchBox.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>

#include "widgets/UiFont.h"

namespace {
const int kHeight = 30;
const int kIconSize = 16;
}  // namespace

SearchBox::SearchBox(QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("search_box"));
    setFixedHeight(kHeight);
    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("search_icon_lab"));
    icon->setFixedSize(kIconSize, kIconSize);
    edit_ = new QLineEdit(this);
    edit_->setObjectName(QStringLiteral("search_edit"));
    edit_->setPlaceholderText(QStringLiteral("搜索"));
    edit_->setFont(UiFont::Font(13));
    edit_->setFrame(false);
    edit_->installEventFilter(this);
    clear_btn_ = new QPushButton(this);
    clear_btn_->setObjectName(QStringLiteral("search_clear_btn"));
    clear_btn_->setFixedSize(kIconSize, kIconSize);
    clear_btn_->setCursor(Qt::PointingHandCursor);
    clear_btn_->setFocusPolicy(Qt::NoFocus);
    clear_btn_->setToolTip(QStringLiteral("清除"));
    clear_btn_->hide();

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(8, 0, 7, 0);
    row->setSpacing(5);
    row->addWidget(icon);
    row->addWidget(edit_, 1);
    row->addWidget(clear_btn_);
    connect(edit_, &QLineEdit::textChanged, this, &SearchBox::OnTextChanged);
    connect(clear_btn_, &QPushButton::clicked, this, [this] {
        Clear();
        edit_->setFocus();
    });
    SetFocusedLook(false);
}

QString SearchBox::Text() const {
    return edit_->text();
}

void SearchBox::Clear() {
    edit_->clear();
}

void SearchBox::FocusAndSelect() {
    edit_->setFocus(Qt::ShortcutFocusReason);
    edit_->selectAll();
}

void SearchBox::OnTextChanged(const QString& text) {
    clear_btn_->setVisible(!text.isEmpty());
    emit text_changed(text);
}

void SearchBox::SetFocusedLook(bool focused) {
    // The frame lights up with its field: the field itself has no border.
    setProperty("focused", focused);
    style()->unpolish(this);
    style()->polish(this);
}

bool SearchBox::eventFilter(QObject* watched, QEvent* event) {
    if (watched == edit_) {
        if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut)
            SetFocusedLook(event->type() == QEvent::FocusIn);
        if (event->type() == QEvent::KeyPress &&
            KeyPressed(static_cast<QKeyEvent*>(event)->key())) {
            return true;
        }
    }
    return QFrame::eventFilter(watched, event);
}

bool SearchBox::KeyPressed(int key) {
    switch (key) {
        case Qt::Key_Escape:
            emit escape_pressed();
            return true;
        case Qt::Key_Up:
            emit step(-1);
            return true;
        case Qt::Key_Down:
            emit step(1);
            return true;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            emit enter_pressed();
            return true;
        default:
            return false;
    }
}
