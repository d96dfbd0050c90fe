#pragma once

#include <QObject>
#include <QPointer>

class QMenu;
class QWidget;

// Opens a menu below a widget that is no button (an avatar, a name) when it is clicked with the
// left button. The press is taken, so a window dragger on the window does not start a drag.
class ClickMenu : public QObject {
    Q_OBJECT
public:
    // Lives as long as `anchor`; the menu is not owned.
    ClickMenu(QWidget* anchor, QMenu* menu);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* anchor_;
    QPointer<QMenu> menu_;
};
