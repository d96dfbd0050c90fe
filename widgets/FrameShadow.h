#pragma once

#include <QColor>
#include <QImage>
#include <QObject>

class QWidget;

// The soft shadow around a window's background frame, painted on the window beneath the frame
// from a picture made once per frame size. A graphics effect on the frame would instead redraw
// the whole frame into a picture and blur it again at every change inside it, however small.
class FrameShadow : public QObject {
    Q_OBJECT
public:
    // `frame` must have a parent, the window it is drawn on.
    FrameShadow(QWidget* frame, int blur_radius, int corner_radius, const QColor& color);

    // The shadow of a rounded rectangle of `size`, blurred as a drop shadow effect blurs it,
    // with `blur_radius` of room on every side; clear where the rectangle itself lies.
    static QImage Picture(const QSize& size, int blur_radius, int corner_radius,
                          const QColor& color, qreal pixel_ratio);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Paint();

    QWidget* frame_;
    QWidget* window_;
    int blur_radius_;
    int corner_radius_;
    QColor color_;
    QImage picture_;
};
