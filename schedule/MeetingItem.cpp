#include "MeetingItem.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "ElidedLabel.h"
#include "widgets/UiFont.h"

namespace {

const char kTimeFormat[] = "yyyy-MM-dd hh:mm:ss";

QString Field(const QJsonObject& meeting, const char* key) {
    return meeting.value(QLatin1String(key)).toVariant().toString();
}

QLabel* Icon(const char* name, const char* image, QWidget* parent) {
    auto* icon = new QLabel(parent);
    icon->setObjectName(QLatin1String(name));
    icon->setFixedSize(12, 12);
    icon->setPixmap(QPixmap(QLatin1String(image)));
    return icon;
}

ElidedLabel* Line(const QString& text, const char* name, QWidget* parent, int px) {
    auto* label = new ElidedLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setFont(UiFont::Font(px));
    return label;
}

}  // namespace

MeetingItem::State MeetingItem::StateAt(const QJsonObject& meeting, const QDateTime& now) {
    const QDateTime start = QDateTime::fromString(Field(meeting, "StartTime"), kTimeFormat);
    const QDateTime end = QDateTime::fromString(Field(meeting, "EndTime"), kTimeFormat);
    if (!start.isValid() || !end.isValid())
        return kUnknown;
    if (now < start)
        return kNotStarted;
    return now <= end ? kInProgress : kEnded;
}

QString MeetingItem::StateText(State state) {
    if (state == kNotStarted)
        return QStringLiteral("未开始");
    return state == kInProgress ? QStringLiteral("进行中") : QString();
}

MeetingItem::MeetingItem(const QJsonObject& meeting, State state, QWidget* parent)
    : QFrame(parent) {
    setObjectName(QStringLiteral("meeting_item"));
    setFixedSize(kWidth, kHeight);
    auto* bg = new QFrame(this);
    bg->setObjectName(QStringLiteral("meet_bg_lab"));

    auto* top = new QHBoxLayout;
    top->setSpacing(6);
    if (Field(meeting, "IsRead") == QLatin1String("0")) {
        auto* dot = new QLabel(bg);
        dot->setObjectName(QStringLiteral("meet_red_point"));
        dot->setFixedSize(6, 6);
        dot->setToolTip(QStringLiteral("未读"));
        top->addWidget(dot, 0, Qt::AlignVCenter);
    }
    const QString subject = Field(meeting, "MeetingSubject");
    ElidedLabel* subject_lab = Line(subject, "meet_subject", bg, 13);
    top->addWidget(subject_lab, 1);
    auto* state_lab = new QLabel(StateText(state), bg);
    state_lab->setObjectName(QStringLiteral("meet_state"));
    state_lab->setProperty("state", static_cast<int>(state));
    state_lab->setFont(UiFont::Font(11));
    state_lab->setAlignment(Qt::AlignCenter);
    state_lab->setVisible(!state_lab->text().isEmpty());
    top->addWidget(state_lab);

    auto* details = new QGridLayout;
    details->setHorizontalSpacing(6);
    details->setVerticalSpacing(4);
    const struct {
        const char* icon;
        const char* image;
        const char* name;
        QString text;
    } lines[] = {
        {"meet_endtime_ico", ":/resource/meet_time.png", "meet_endtime",
         Field(meeting, "FormatTime")},
        {"meet_location_ico", ":/resource/meet_location.png", "meet_location",
         Field(meeting, "Location")},
        {"meet_users_ico", ":/resource/meet_users.png", "meet_users",
         QStringLiteral("出席人员: ") + Field(meeting, "UserNames")},
    };
    int row = 0;
    for (const auto& line : lines) {
        details->addWidget(Icon(line.icon, line.image, bg), row, 0, Qt::AlignVCenter);
        details->addWidget(Line(line.text, line.name, bg, 12), row, 1);
        ++row;
    }
    details->setColumnStretch(1, 1);

    auto* column = new QVBoxLayout(bg);
    column->setContentsMargins(12, 10, 12, 10);
    column->setSpacing(8);
    column->addLayout(top);
    column->addLayout(details);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(4, 4, 4, 4);
    outer->addWidget(bg);
}
