#pragma once

#include <QWidget>
#include <memory>

#include "SelectionGeometry.h"

class QMenu;
class ScreenImage;

// The selection on the overlay: shows its part of the screen undimmed with a border and eight
// handles; it is moved and resized by dragging, and its context menu sends, saves or quits.
class OEScreen : public QWidget {
    Q_OBJECT
public:
    // Starts as a selection of one pixel at `origin`, grown by onMouseChange while the first
    // drag lasts.
    OEScreen(std::shared_ptr<const ScreenImage> screen, const QPoint& origin, QWidget* parent);

    QPixmap Captured() const;

signals:
    void sizeChange(int w, int h);
    void postionChange(int x, int y);
    void doubleClick();
    // The capture is in the clipboard.
    void screen_copied();

public slots:
    // The first drag reached (x, y) in the overlay.
    void onMouseChange(int x, int y);
    void onSaveScreen();

protected slots:
    void onSaveScreenOther();
    void quitScreenshot();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void BuildMenu();
    QPoint InOverlay(const QMouseEvent* event) const;
    void Drag(const QPoint& cursor);
    QRect Bounds() const;
    void UpdateHandles();

    std::shared_ptr<const ScreenImage> screen_;
    QPoint origin_;
    QVector<QPoint> handles_;
    QMenu* menu_ = nullptr;

    SelectionGeometry::Region region_ = SelectionGeometry::kInside;
    bool dragging_ = false;
    QRect drag_start_;
    QPoint drag_offset_;
};
