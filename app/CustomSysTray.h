#pragma once

#include <QPoint>
#include <QRect>
#include <QSystemTrayIcon>
#include <QTimer>

// A tray icon that tells when the mouse rests on it; the platform's icon has no hover signal.
class CustomSysTray : public QSystemTrayIcon {
    Q_OBJECT
public:
    explicit CustomSysTray(QObject* parent = nullptr);

    // One tick of the hover detection: the icon's rectangle as the platform reports it now, and
    // the cursor position.
    void Track(const QRect& icon_rect, const QPoint& cursor);

signals:
    void mouse_hover();

private:
    void OnPoll();

    QTimer poll_timer_;
    QPoint last_pos_;
    QRect icon_rect_;
    // Once the cursor has been on the icon the rectangle is kept: some trays report a changing
    // geometry while the icon is hovered.
    bool rect_fixed_ = false;
};
