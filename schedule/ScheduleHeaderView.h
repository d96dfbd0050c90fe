#pragma once

#include <QHeaderView>

// The headers of the week table. Horizontal: the day's name over its month and day, today
// in the accent colour. Vertical: the section's name over its begin and end time. The texts
// come from the model's header data (see ScheduleTableWid).
class ScheduleHeaderView : public QHeaderView {
    Q_OBJECT
public:
    // Header data roles.
    enum Role {
        kLinesRole = Qt::UserRole + 1,  // QStringList: the lines to draw
        kTodayRole,                     // bool: the column of today
    };

    explicit ScheduleHeaderView(Qt::Orientation orientation, QWidget* parent = nullptr);

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logical_index) const override;

private:
    void PaintDay(QPainter* painter, const QRect& rect, const QStringList& lines, bool today) const;
    void PaintSection(QPainter* painter, const QRect& rect, const QStringList& lines) const;
};
