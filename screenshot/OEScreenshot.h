#pragma once

#include <QPixmap>
#include <QRect>
#include <QWidget>
#include <memory>

class OEAmplifier;
class OERect;
class OEScreen;
class ScreenImage;
class WindowFinder;

// The screenshot overlay: the frozen screen darkened, the window under the cursor outlined and
// shown as it is, the magnifier, and a selection made by dragging or by clicking the outlined
// window. Construct it without a parent: it shows itself at once and deletes itself on close.
// screen_ready() comes when the selection is in the clipboard.
class OEScreenshot : public QWidget {
    Q_OBJECT
public:
    OEScreenshot();
    // Over a screen grabbed beforehand; a null picture stands for a screen that cannot be read.
    explicit OEScreenshot(const QPixmap& grabbed);
    ~OEScreenshot() override;

signals:
    void cursorPosChange(int x, int y);
    void doubleClick();
    void findChildWind(QRect rect);
    void screen_ready();

private slots:
    // Takes the top of the window stack and the keyboard.
    void onEgoistic();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Start(const QPixmap& grabbed, const QString& why_not);
    void Refuse(const QString& why_not);
    void BuildHelpers();
    void Detect(const QPoint& global);
    void StartSelection(const QPoint& at);
    void EndFirstDrag(const QPoint& at);
    // Back to detecting, the magnifier at `at`.
    void DropSelection(const QPoint& at, const QPoint& global);
    void Quit();

    std::shared_ptr<ScreenImage> screen_;
    QPixmap background_;
    OEAmplifier* amplifier_ = nullptr;
    OERect* size_label_ = nullptr;
    OEScreen* selection_ = nullptr;
    // Of the window under the cursor; invalid (right -1, bottom -1) while there is none.
    QRect window_rect_;
    bool selecting_ = false;
    QPoint press_pos_;
    std::unique_ptr<WindowFinder> finder_;
};
