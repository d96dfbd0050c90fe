#include "ScheduleEntryWid.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "ElidedLabel.h"
#include "ScheduleGrid.h"
#include "widgets/UiFont.h"

namespace {

const int kTextPx = 12;

// The frame and its labels are styled by object name with the colours of the entry's type.
QString StyleOf(const ScheduleGrid::Colours& colours) {
    return QStringLiteral(
               "#sp_cell_bg_lab { background-color: %1; border: none;"
               " border-bottom: 2px solid #f5f5f5; border-left: 6px solid %2;"
               " border-top-right-radius: 3px; border-bottom-right-radius: 3px; }"
               "#sp_cell_time_lab, #sp_cell_name_lab, #sp_cell_address_lab"
               " { color: %2; background: transparent; }")
        .arg(colours.background.name(), colours.accent.name());
}

ElidedLabel* Line(const QString& text, const char* name, QWidget* parent, bool bold = false) {
    auto* label = new ElidedLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    QFont font = UiFont::Font(kTextPx);
    font.setBold(bold);
    label->setFont(font);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    return label;
}

}  // namespace

ScheduleEntryWid::ScheduleEntryWid(const ScheduleEntry& entry, QWidget* parent)
    : QFrame(parent), entry_(entry) {
    setObjectName(QStringLiteral("sp_cell_bg_lab"));
    setFixedHeight(ScheduleGrid::kRowHeight);
    setStyleSheet(StyleOf(ScheduleGrid::ColoursOf(entry.type)));
    const QString time = QStringLiteral("%1-%2").arg(entry.begin, entry.end);
    setToolTip(QStringLiteral("%1\n%2\n%3").arg(time, entry.work, entry.address).trimmed());

    auto* time_row = new QHBoxLayout;
    time_row->setContentsMargins(0, 0, 0, 0);
    time_row->setSpacing(4);
    // A narrow column shows the begin time alone rather than a cut range.
    ElidedLabel* time_lab = Line(time, "sp_cell_time_lab", this);
    time_lab->SetFullText(time, entry.begin);
    time_row->addWidget(time_lab, 1);
    if (entry.is_member == QLatin1String("1")) {
        auto* about_me = new QLabel(this);
        about_me->setObjectName(QStringLiteral("about_me_lab"));
        about_me->setFixedSize(10, 12);
        about_me->setPixmap(QPixmap(QStringLiteral(":/resource/about_me.png")));
        about_me->setToolTip(QStringLiteral("与我相关"));
        time_row->addWidget(about_me, 0, Qt::AlignVCenter);
        time_row->addSpacing(4);
    }

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(9, 4, 4, 13);
    column->setSpacing(2);
    column->addLayout(time_row);
    column->addWidget(Line(entry.work, "sp_cell_name_lab", this, true));
    column->addWidget(Line(entry.address, "sp_cell_address_lab", this));
}
