#pragma once

#include <QObject>
#include <QPoint>

class QWidget;

// Moves a frameless window while the left button is held on it. The window's own mouse
// handling still runs.
class WindowDragger : public QObject {
    Q_OBJECT
public:
    // `still_when_maximised`: a maximised window stays where it is.
    explicit WindowDragger(QWidget* window, bool still_when_maximised = false);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* window_;
    bool still_when_maximised_;
    bool dragging_ = false;
    QPoint press_pos_;
};
