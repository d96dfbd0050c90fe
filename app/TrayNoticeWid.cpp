#include "TrayNoticeWid.h"
#include "widgets/WindowStyle.h"

#include <QDebug>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
const int kCountSize = 30;
const int kCountTop = 16;
}  // namespace

TrayNoticeWid::TrayNoticeWid(QWidget* parent) : QWidget(parent) {
    setWindowFlags(Qt::Popup | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setAttribute(Qt::WA_TranslucentBackground);
    setFixedSize(246, 99);
}

TrayNoticeWid::~TrayNoticeWid() {
    qDebug() << "TrayNoticeWid::~TrayNoticeWid";
}

void TrayNoticeWid::Init() {
    SetupUI();
    BuildWidgets();
    LayoutWidgets();
    connect(ignore_btn_, &QPushButton::clicked, this, &TrayNoticeWid::OnIgnore);
    item_msg_frame_->installEventFilter(this);
    item_email_frame_->installEventFilter(this);
}

void TrayNoticeWid::SetupUI() {
    setWindowTitle(QStringLiteral("新消息"));
    WindowStyle::Apply(this, QStringLiteral("tray_notice_wid"),
                       QStringLiteral(":/ui/tray_notice_wid.qss"),
                       "TrayNoticeWid::Init : load qss failed");
}

void TrayNoticeWid::BuildWidgets() {
    const auto label = [](QWidget* parent, const char* name, const QString& text) {
        auto* lab = new QLabel(text, parent);
        lab->setObjectName(QLatin1String(name));
        return lab;
    };
    const auto row = [](QWidget* parent, const char* name) {
        auto* frame = new QFrame(parent);
        frame->setObjectName(QLatin1String(name));
        frame->setCursor(Qt::PointingHandCursor);
        return frame;
    };
    bg_frame_ = new QFrame(this);
    bg_frame_->setObjectName(QStringLiteral("tnw_bg_frame"));
    WindowStyle::AddShadow(bg_frame_, 9, 4);

    head_lab_ = label(bg_frame_, "tnw_head_lab", QString());
    head_lab_->setFixedHeight(10);
    item_msg_frame_ = row(bg_frame_, "tnw_item_msg_frame");
    new_msg_lab_ = label(item_msg_frame_, "tnw_new_msg_lab", QStringLiteral("你有新消息"));
    new_msg_lab_->setFixedHeight(50);
    item_email_frame_ = row(bg_frame_, "tnw_item_email_frame");
    item_email_frame_->hide();
    new_email_lab_ = label(item_email_frame_, "tnw_new_email_lab", QStringLiteral("你有新电函"));
    new_email_lab_->setFixedHeight(50);
    line_ = new QFrame(bg_frame_);
    line_->setObjectName(QStringLiteral("tnw_line"));
    line_->setFrameShape(QFrame::HLine);
    line_->setFrameShadow(QFrame::Sunken);
    line_->setLineWidth(0);
    ignore_btn_ = new QPushButton(QStringLiteral("忽略全部"), bg_frame_);
    ignore_btn_->setObjectName(QStringLiteral("tnw_ignore_btn"));
    ignore_btn_->setFixedSize(90, 40);
    ignore_btn_->setCursor(Qt::PointingHandCursor);

    // The numbers float over the rows' right end; a click on them belongs to the row.
    for (QLabel** count : {&msg_count_lab_, &email_count_lab_}) {
        *count = label(this, count == &msg_count_lab_ ? "tnw_msg_count_lab" : "tnw_email_count_lab",
                       QString());
        (*count)->setFixedSize(kCountSize, kCountSize);
        (*count)->setAlignment(Qt::AlignCenter);
        (*count)->setAttribute(Qt::WA_TransparentForMouseEvents);
        (*count)->hide();
    }
}

void TrayNoticeWid::LayoutWidgets() {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(bg_frame_);

    for (auto pair : {std::make_pair(item_msg_frame_, new_msg_lab_),
                      std::make_pair(item_email_frame_, new_email_lab_)}) {
        auto* row = new QHBoxLayout(pair.first);
        row->setContentsMargins(16, 0, 0, 0);
        row->addWidget(pair.second);
        row->addStretch();
    }
    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->addStretch();
    buttons->addWidget(ignore_btn_);

    auto* column = new QVBoxLayout(bg_frame_);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(head_lab_);
    column->addWidget(item_msg_frame_);
    column->addWidget(item_email_frame_);
    column->addWidget(line_);
    column->addLayout(buttons);
}

void TrayNoticeWid::SetCount(int other_id, int nums) {
    other_id_ = other_id;
    if (nums == 0) {
        msg_count_lab_->hide();
        return;
    }
    msg_count_lab_->setText(QString::number(nums));
    msg_count_lab_->move(width() - kCountSize, kCountTop);
    msg_count_lab_->show();
    msg_count_lab_->raise();
}

bool TrayNoticeWid::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (watched == item_msg_frame_) {
            emit open_chat_view(other_id_);
            emit stop_flash();
        } else if (watched == item_email_frame_) {
            emit open_email_view();
            emit stop_flash();
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TrayNoticeWid::OnIgnore() {
    hide();
    emit stop_flash();
}
