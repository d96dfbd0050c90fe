#pragma once

#include <QPersistentModelIndex>
#include <QWidget>

class QAbstractItemView;
class QVariantAnimation;

// A tinted band behind one row of a list that fades out: shows the message a search result
// opened. It lies under the row's widget (bubbles have no background of their own), follows
// the row while the list scrolls, and deletes itself when it has faded or the row is gone.
class RowHighlight : public QWidget {
    Q_OBJECT
public:
    static constexpr int kDurationMs = 2000;

    RowHighlight(QAbstractItemView* view, const QModelIndex& index);

    // The row it marks; invalid once the row was removed.
    QModelIndex Index() const { return index_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void Follow();

    QAbstractItemView* view_;
    QPersistentModelIndex index_;
    QVariantAnimation* fade_ = nullptr;
    qreal strength_ = 1.0;
};
