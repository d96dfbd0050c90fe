#include "MessageItemSys.h"

#include <QDebug>
#include <QEvent>
#include <QFile>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QStringList>
#include <QVBoxLayout>

#include "engine/MessageSysItemInfo.h"
#include "widgets/UiFont.h"

namespace {

const int kIconSize = 40;
const int kTextPixelSize = 13;

const QStringList& IconNames() {
    static const QStringList names = [] {
        QStringList lines;
        QFile file(QStringLiteral(":/resource/sys_msg_ico/name"));
        if (file.open(QIODevice::ReadOnly)) {
            for (const QByteArray& line : file.readAll().split('\n'))
                lines << QString::fromUtf8(line).trimmed();
        }
        return lines;
    }();
    return names;
}

QLabel* NewLabel(const char* name, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    return label;
}

}  // namespace

MessageItemSys::MessageItemSys(QWidget* parent) : QWidget(parent) {
    Build();
}

QString MessageItemSys::IconStyle(const QString& category) {
    const QString file = category + QLatin1String(".png");
    if (IconNames().contains(file))
        return QStringLiteral("border-image: url(:/resource/sys_msg_ico/%1);").arg(file);
    return QStringLiteral("border-image: url(:/resource/msg_sys.png);");
}

void MessageItemSys::Build() {
    bg_frame_ = new QFrame(this);
    bg_frame_->setObjectName(QStringLiteral("msg_item_sys_bg_frame"));
    ico_lab_ = NewLabel("ico_lab", bg_frame_);
    ico_lab_->setFixedSize(kIconSize, kIconSize);
    remind_name_lab_ = NewLabel("remind_name_lab", bg_frame_);
    date_lab_ = NewLabel("date_lab", bg_frame_);
    count_lab_ = NewLabel("count_lab", bg_frame_);
    count_lab_->setAlignment(Qt::AlignCenter);
    short_msg_lab_ = NewLabel("short_msg_lab", bg_frame_);
    short_msg_lab_->setMinimumWidth(1);
    line_ = new QFrame(this);
    line_->setObjectName(QStringLiteral("page_sys_line"));
    line_->setFrameShape(QFrame::HLine);
    line_->setFixedHeight(1);

    auto* top = new QHBoxLayout;
    top->setSpacing(8);
    top->addWidget(remind_name_lab_, 1);
    top->addWidget(date_lab_);
    auto* bottom = new QHBoxLayout;
    bottom->setSpacing(8);
    bottom->addWidget(short_msg_lab_, 1);
    bottom->addWidget(count_lab_);
    auto* text = new QVBoxLayout;
    text->setSpacing(4);
    text->addLayout(top);
    text->addLayout(bottom);
    auto* row = new QHBoxLayout(bg_frame_);
    row->setContentsMargins(16, 10, 16, 10);
    row->setSpacing(12);
    row->addWidget(ico_lab_);
    row->addLayout(text, 1);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(bg_frame_, 1);
    column->addWidget(line_);
    setFixedHeight(kRowHeight);
    bg_frame_->installEventFilter(this);
}

void MessageItemSys::SetData(const MessageSysItemInfo& record) {
    remind_id_ = record.remind_id;
    message_id_ = record.message_id;
    ico_lab_->setStyleSheet(IconStyle(record.other_name));
    remind_name_lab_->setText(record.other_name);
    count_lab_->setText(QString::number(record.number));
    count_lab_->setVisible(record.number != 0);
    text_ = record.content;
    ElideText();
    date_lab_->setText(record.send_date.isNull()
                           ? QString()
                           : record.send_date.toString(QStringLiteral("MM-dd HH:mm")));
}

void MessageItemSys::ElideText() {
    UiFont::SetElidedText(short_msg_lab_, text_, qMax(short_msg_lab_->width(), 40),
                          UiFont::Font(kTextPixelSize));
}

void MessageItemSys::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    ElideText();
}

bool MessageItemSys::eventFilter(QObject* watched, QEvent* event) {
    if (watched == bg_frame_ && event->type() == QEvent::MouseButtonPress)
        qDebug() << "Mouse press L";
    return QWidget::eventFilter(watched, event);
}
