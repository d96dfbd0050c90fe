#include "BtnWithBubble.h"

#include <QDebug>
#include <QLabel>
#include <QPushButton>

namespace {

const int kWidth = 64;
const int kHeight = 59;
const int kBubbleHeight = 16;
const int kBubbleLeft = 38;

struct Kind {
    const char* object_name;
    const char* caption;
};

const Kind kKinds[] = {
    {"message_bubble_btn", "消息"},      {"schedule_bubble_btn", "日程"},
    {"notice_bubble_btn", "通知"},       {"e_letter_bubble_btn", "电函"},
    {"more_app_bubble_btn", "更多应用"},
};

}  // namespace

BtnWithBubble::BtnWithBubble(int kind, QWidget* parent) : QWidget(parent) {
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);
    setFixedSize(kWidth, kHeight);

    btn_ = new QPushButton(this);
    btn_->setCheckable(true);
    btn_->setCursor(Qt::PointingHandCursor);
    btn_->setGeometry(0, 0, kWidth, kHeight);
    txt_lab_ = new QLabel(this);
    txt_lab_->setObjectName(QStringLiteral("txt_lab"));
    txt_lab_->setAlignment(Qt::AlignCenter);
    txt_lab_->setGeometry(0, 35, kWidth, 16);
    triangle_lab_ = new QLabel(this);
    triangle_lab_->setObjectName(QStringLiteral("triangle_lab"));
    triangle_lab_->setGeometry((kWidth - 16) / 2, kHeight - 8, 16, 8);
    count_lab_ = new QLabel(this);
    count_lab_->setObjectName(QStringLiteral("count_lab"));
    count_lab_->setAlignment(Qt::AlignCenter);
    count_lab_->hide();
    // The labels lie over the button; clicks on them belong to it.
    for (QLabel* lab : {txt_lab_, triangle_lab_, count_lab_})
        lab->setAttribute(Qt::WA_TransparentForMouseEvents);

    if (kind >= 0 && kind < static_cast<int>(sizeof(kKinds) / sizeof(kKinds[0]))) {
        btn_->setObjectName(QLatin1String(kKinds[kind].object_name));
        txt_lab_->setText(QString::fromUtf8(kKinds[kind].caption));
    } else {
        txt_lab_->setText(QStringLiteral("NeedText"));
    }
    connect(btn_, &QPushButton::toggled, this, &BtnWithBubble::OnToggled);
}

void BtnWithBubble::SetCount(int count) {
    if (count == 0) {
        count_lab_->hide();
        return;
    }
    count_lab_->setText(QString::number(count));
    count_lab_->ensurePolished();
    const int text_width = count_lab_->fontMetrics().horizontalAdvance(count_lab_->text());
    const int width = qMax(kBubbleHeight, text_width + 10);
    count_lab_->setGeometry(qMin(kBubbleLeft, kWidth - width), 2, width, kBubbleHeight);
    count_lab_->show();
    count_lab_->raise();
}

void BtnWithBubble::OnToggled(bool checked) {
    triangle_lab_->setStyleSheet(checked ? QStringLiteral("image: url(:/resource/triangle.png);")
                                         : QString());
    qDebug() << "bubble btn toggled: " << checked;
}
