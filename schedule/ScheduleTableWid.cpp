#include "ScheduleTableWid.h"

#include <QHash>
#include <QLocale>
#include <QVBoxLayout>
#include <algorithm>

#include "ScheduleEntryWid.h"
#include "ScheduleGrid.h"
#include "ScheduleHeaderView.h"

namespace {

const int kHeaderHeight = 45;
const int kSectionHeaderWidth = 39;
const int kMinRowHeight = 76;
const QColor kTodayColumn(0xf7, 0xfb, 0xff);

QTableWidgetItem* HeaderItem(const QString& text, const QStringList& lines) {
    auto* item = new QTableWidgetItem(text);
    item->setData(ScheduleHeaderView::kLinesRole, lines);
    return item;
}

}  // namespace

ScheduleTableWid::ScheduleTableWid(QWidget* parent) : QTableWidget(parent) {
    setObjectName(QStringLiteral("schedule_table_wid"));
    auto* h_header = new ScheduleHeaderView(Qt::Horizontal, this);
    h_header->setObjectName(QStringLiteral("h_table_header"));
    setHorizontalHeader(h_header);
    h_header->setFixedHeight(kHeaderHeight);
    h_header->setSectionResizeMode(QHeaderView::Stretch);
    auto* v_header = new ScheduleHeaderView(Qt::Vertical, this);
    v_header->setObjectName(QStringLiteral("v_table_header"));
    setVerticalHeader(v_header);
    v_header->setFixedWidth(kSectionHeaderWidth);
    v_header->setMinimumSectionSize(kMinRowHeight);
    // Rows are sized to their stacked entries by SetEntries.
    v_header->setSectionResizeMode(QHeaderView::Fixed);
    setShowGrid(false);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectColumns);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFocusPolicy(Qt::NoFocus);
    setCornerButtonEnabled(false);
}

int ScheduleTableWid::KindOf(const QString& type) {
    if (type == QLatin1String("1"))
        return 0;
    if (type == QLatin1String("2"))
        return 1;
    return type == QLatin1String("3") ? 2 : 3;
}

void ScheduleTableWid::SetDays(const QList<QDate>& days, const QDate& today) {
    days_ = days;
    today_ = today;
    entries_.clear();
    setColumnCount(days.size());
    const QLocale chinese(QLocale::Chinese, QLocale::China);
    for (int column = 0; column < days.size(); ++column) {
        const QDate& day = days.at(column);
        const QString name = chinese.toString(day, QStringLiteral("dddd"));
        const QString month_day = day.toString(QStringLiteral("M月d日"));
        QTableWidgetItem* item =
            HeaderItem(QStringLiteral("%1\r\n%2").arg(name, month_day), {name, month_day});
        item->setData(ScheduleHeaderView::kTodayRole, day == today);
        setHorizontalHeaderItem(column, item);
    }
    ResetCells();
}

void ScheduleTableWid::SetSections(const SectionInfos& sections) {
    sections_ = sections;
    entries_.clear();
    setRowCount(sections.size());
    for (int row = 0; row < sections.size(); ++row) {
        const SectionInfo& s = sections.at(row);
        // The header draws the lines; its label stays empty.
        setVerticalHeaderItem(row, HeaderItem(QString(), {s.name, s.begin, s.end}));
    }
    ResetCells();
}

void ScheduleTableWid::SetEntries(const ScheduleEntries& entries) {
    entries_ = entries;
    PlaceEntries();
}

void ScheduleTableWid::ClearEntries() {
    entries_.clear();
    PlaceEntries();
}

void ScheduleTableWid::SetKindShown(int kind, bool shown) {
    if (shown)
        hidden_kinds_.remove(kind);
    else
        hidden_kinds_.insert(kind);
    PlaceEntries();
}

QList<ScheduleEntryWid*> ScheduleTableWid::EntriesAt(int row, int column) const {
    QWidget* cell = cellWidget(row, column);
    return cell ? cell->findChildren<ScheduleEntryWid*>(QString(), Qt::FindDirectChildrenOnly)
                : QList<ScheduleEntryWid*>();
}

// Every cell has an item, so the selection and today's column show on empty cells too.
void ScheduleTableWid::ResetCells() {
    for (int row = 0; row < rowCount(); ++row) {
        for (int column = 0; column < columnCount(); ++column) {
            removeCellWidget(row, column);
            auto* item = new QTableWidgetItem;
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            if (days_.value(column) == today_)
                item->setBackground(kTodayColumn);
            setItem(row, column, item);
        }
        setRowHeight(row, ScheduleGrid::kRowHeight);
    }
}

void ScheduleTableWid::PlaceEntries() {
    QHash<QPair<int, int>, ScheduleEntries> cells;
    for (const ScheduleEntry& entry : entries_) {
        if (hidden_kinds_.contains(KindOf(entry.type)))
            continue;
        const int column = ScheduleGrid::Column(entry.date, days_);
        const int row = ScheduleGrid::Row(entry.begin, sections_);
        if (column >= 0 && row >= 0)
            cells[{row, column}].append(entry);
    }
    QVector<int> stacked(rowCount(), 1);
    for (int row = 0; row < rowCount(); ++row) {
        for (int column = 0; column < columnCount(); ++column)
            removeCellWidget(row, column);
    }
    for (auto it = cells.begin(); it != cells.end(); ++it) {
        std::stable_sort(
            it->begin(), it->end(), [](const ScheduleEntry& a, const ScheduleEntry& b) {
                return ScheduleGrid::ReadTime(a.begin) < ScheduleGrid::ReadTime(b.begin);
            });
        auto* cell = new QWidget;
        auto* stack = new QVBoxLayout(cell);
        stack->setContentsMargins(2, 0, 2, 0);
        stack->setSpacing(ScheduleGrid::kEntrySpacing);
        for (const ScheduleEntry& entry : it.value())
            stack->addWidget(new ScheduleEntryWid(entry, cell));
        stack->addStretch();
        setCellWidget(it.key().first, it.key().second, cell);
        stacked[it.key().first] = qMax(stacked.at(it.key().first), it.value().size());
    }
    for (int row = 0; row < rowCount(); ++row)
        setRowHeight(row, ScheduleGrid::RowHeight(stacked.at(row)));
}
