#include "ScheduleHeaderView.h"

#include <QPainter>

#include "widgets/UiFont.h"

namespace {

const QColor kLine(0xea, 0xea, 0xea);
const QColor kText(0x33, 0x33, 0x33);
const QColor kMuted(0x99, 0x99, 0x99);
const QColor kAccent(0x18, 0x91, 0xed);
const QColor kTodayBackground(0xf0, 0xf7, 0xfe);

}  // namespace

ScheduleHeaderView::ScheduleHeaderView(Qt::Orientation orientation, QWidget* parent)
    : QHeaderView(orientation, parent) {
    setSectionsClickable(false);
    setHighlightSections(false);
}

void ScheduleHeaderView::paintSection(QPainter* painter, const QRect& rect,
                                      int logical_index) const {
    if (!rect.isValid())
        return;
    const QStringList lines =
        model()->headerData(logical_index, orientation(), kLinesRole).toStringList();
    painter->save();
    painter->setRenderHint(QPainter::TextAntialiasing);
    if (orientation() == Qt::Horizontal) {
        const bool today = model()->headerData(logical_index, orientation(), kTodayRole).toBool();
        PaintDay(painter, rect, lines, today);
    } else {
        PaintSection(painter, rect, lines);
    }
    painter->restore();
}

void ScheduleHeaderView::PaintDay(QPainter* painter, const QRect& rect, const QStringList& lines,
                                  bool today) const {
    painter->fillRect(rect, today ? kTodayBackground : Qt::white);
    painter->fillRect(QRect(rect.left(), rect.bottom(), rect.width(), 1), kLine);
    if (today)
        painter->fillRect(QRect(rect.left(), rect.bottom() - 2, rect.width(), 2), kAccent);
    const QRect top(rect.left(), rect.top() + 5, rect.width(), rect.height() / 2 - 4);
    const QRect bottom(rect.left(), top.bottom(), rect.width(), rect.height() / 2 - 6);
    QFont name = UiFont::Font(13);
    name.setBold(today);
    painter->setFont(name);
    painter->setPen(today ? kAccent : kText);
    painter->drawText(top, Qt::AlignHCenter | Qt::AlignBottom, lines.value(0));
    painter->setFont(UiFont::Font(12));
    painter->setPen(today ? kAccent : kMuted);
    painter->drawText(bottom, Qt::AlignHCenter | Qt::AlignTop, lines.value(1));
}

void ScheduleHeaderView::PaintSection(QPainter* painter, const QRect& rect,
                                      const QStringList& lines) const {
    painter->fillRect(rect, QColor(0xfa, 0xfb, 0xfc));
    painter->fillRect(QRect(rect.right(), rect.top(), 1, rect.height()), kLine);
    painter->fillRect(QRect(rect.left(), rect.bottom(), rect.width(), 1), QColor(0xf2, 0xf2, 0xf2));
    const QFont name = UiFont::Font(10);
    const QFont time = UiFont::Font(12);
    const int name_height = QFontMetrics(name).height();
    const int time_height = QFontMetrics(time).height();
    const int height = name_height + 2 * time_height + 2;
    int y = rect.top() + (rect.height() - height) / 2;
    painter->setFont(name);
    painter->setPen(kMuted);
    painter->drawText(QRect(rect.left(), y, rect.width(), name_height), Qt::AlignCenter,
                      lines.value(0));
    y += name_height + 2;
    painter->setFont(time);
    painter->setPen(kText);
    for (int i = 1; i <= 2; ++i) {
        painter->drawText(QRect(rect.left(), y, rect.width(), time_height), Qt::AlignCenter,
                          lines.value(i));
        y += time_height;
    }
}
