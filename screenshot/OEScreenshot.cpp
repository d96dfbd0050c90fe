#include "OEScreenshot.h"

#include <QDebug>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPainter>
#include <QScreen>
#include <QTimer>

#include "OEAmplifier.h"
#include "OERect.h"
#include "OEScreen.h"
#include "ScreenImage.h"
#include "platform/ScreenGrab.h"
#include "platform/WindowFinder.h"
#include "widgets/WindowStyle.h"

namespace {

const QColor kDim(0, 0, 0, 160);
const QColor kWindowOutline(0, 175, 255);
const QPoint kCursorHotSpot(15, 23);

QPixmap Dimmed(const QPixmap& screen) {
    QPixmap dimmed = screen.copy();
    QPainter painter(&dimmed);
    painter.fillRect(QRect(QPoint(0, 0), dimmed.size()), kDim);
    return dimmed;
}

}  // namespace

OEScreenshot::OEScreenshot() : QWidget(nullptr) {
    QPixmap grabbed;
    QString why_not;
    ScreenGrab::Grab(QGuiApplication::primaryScreen(), &grabbed, &why_not);
    Start(grabbed, why_not);
}

OEScreenshot::OEScreenshot(const QPixmap& grabbed) : QWidget(nullptr) {
    Start(grabbed, QStringLiteral("无法读取屏幕内容，截图没有开始。"));
}

OEScreenshot::~OEScreenshot() {
    qDebug() << "OEScreenshot::~OEScreenshot";
}

void OEScreenshot::Start(const QPixmap& grabbed, const QString& why_not) {
    setAttribute(Qt::WA_DeleteOnClose);
    if (grabbed.isNull()) {
        Refuse(why_not);
        return;
    }
    WindowStyle::Apply(this, QStringLiteral("screenshot"), QStringLiteral(":/ui/screenshot.qss"),
                       "OEScreenshot::Start : load qss failed");
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setWindowTitle(QStringLiteral("截图"));
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    screen_ = std::make_shared<ScreenImage>(grabbed);
    background_ = Dimmed(grabbed);
    setCursor(QCursor(QPixmap(QStringLiteral(":/resource/screenshot_cursor.png")),
                      kCursorHotSpot.x(), kCursorHotSpot.y()));
    BuildHelpers();
    finder_ = WindowFinder::Create();

    showFullScreen();
    setGeometry(QGuiApplication::primaryScreen()->geometry());
    QTimer::singleShot(0, this, &OEScreenshot::onEgoistic);
    const QPoint cursor = mapFromGlobal(QCursor::pos());
    emit cursorPosChange(cursor.x(), cursor.y());
    amplifier_->show();
    amplifier_->raise();
    Detect(QCursor::pos());
}

// The screen cannot be read: say so instead of covering it with a black overlay.
void OEScreenshot::Refuse(const QString& why_not) {
    qDebug() << "!!! OEScreenshot: the screen cannot be grabbed";
    auto* box =
        new QMessageBox(QMessageBox::Information, QStringLiteral("截图"), why_not, QMessageBox::Ok);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->show();
    deleteLater();
}

void OEScreenshot::BuildHelpers() {
    amplifier_ = new OEAmplifier(screen_, this);
    connect(this, &OEScreenshot::cursorPosChange, amplifier_, &OEAmplifier::onPostionChange);
    // While nothing is selected the magnifier gives the size of the outlined window.
    connect(this, &OEScreenshot::findChildWind, amplifier_,
            [this](const QRect& rect) { amplifier_->onSizeChange(rect.width(), rect.height()); });
    size_label_ = new OERect(this);
}

void OEScreenshot::onEgoistic() {
    raise();
    activateWindow();
    setFocus();
    finder_->RaiseOverlay(winId());
}

void OEScreenshot::Detect(const QPoint& global) {
    if (selection_)
        return;
    const qreal ratio = devicePixelRatioF();
    QRect found;
    if (!finder_->WindowAt(global * ratio, winId(), &found))
        return;
    const QRect rect(mapFromGlobal(found.topLeft() / ratio), found.size() / ratio);
    if (rect == window_rect_)
        return;
    // Only the old and the new outline change.
    update(window_rect_.isValid() ? window_rect_.united(rect) : rect);
    window_rect_ = rect;
    emit findChildWind(rect);
}

void OEScreenshot::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawPixmap(rect(), background_);
    if (!window_rect_.isValid())
        return;
    painter.drawPixmap(window_rect_, screen_->Pixmap(), screen_->DeviceArea(window_rect_));
    painter.setPen(QPen(kWindowOutline, 2));
    painter.drawRect(window_rect_.adjusted(1, 1, -1, -1));
}

void OEScreenshot::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && !selection_)
        StartSelection(event->pos());
}

void OEScreenshot::StartSelection(const QPoint& at) {
    press_pos_ = at;
    selecting_ = true;
    selection_ = new OEScreen(screen_, at, this);
    connect(this, &OEScreenshot::cursorPosChange, selection_, &OEScreen::onMouseChange);
    connect(selection_, &OEScreen::sizeChange, amplifier_, &OEAmplifier::onSizeChange);
    connect(selection_, &OEScreen::sizeChange, size_label_, &OERect::onSizeChange);
    connect(selection_, &OEScreen::postionChange, size_label_, &OERect::onPostionChange);
    connect(selection_, &OEScreen::screen_copied, this, &OEScreenshot::screen_ready);
    connect(selection_, &OEScreen::doubleClick, selection_, &OEScreen::onSaveScreen);
    selection_->show();
    size_label_->show();
    size_label_->raise();
    amplifier_->raise();
}

void OEScreenshot::mouseMoveEvent(QMouseEvent* event) {
    emit cursorPosChange(event->x(), event->y());
    if (event->buttons() & Qt::LeftButton)
        amplifier_->raise();
    else
        Detect(event->globalPos());
}

void OEScreenshot::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        if (selection_)
            DropSelection(event->pos(), event->globalPos());
        else
            Quit();
        return;
    }
    if (event->button() == Qt::LeftButton && selecting_)
        EndFirstDrag(event->pos());
}

void OEScreenshot::EndFirstDrag(const QPoint& at) {
    selecting_ = false;
    disconnect(this, &OEScreenshot::cursorPosChange, selection_, &OEScreen::onMouseChange);
    disconnect(selection_, &OEScreen::sizeChange, amplifier_, &OEAmplifier::onSizeChange);
    amplifier_->hide();
    const bool click = at == press_pos_;
    if (click && !window_rect_.isValid()) {
        // A click on no window selects nothing.
        DropSelection(at, mapToGlobal(at));
        return;
    }
    if (click)
        selection_->setGeometry(window_rect_);
    // The outline belongs to detecting; the selection shows its own part undimmed.
    window_rect_ = QRect();
    update();
}

void OEScreenshot::DropSelection(const QPoint& at, const QPoint& global) {
    delete selection_;
    selection_ = nullptr;
    selecting_ = false;
    size_label_->hide();
    amplifier_->onSizeChange(-1, -1);
    emit cursorPosChange(at.x(), at.y());
    amplifier_->show();
    amplifier_->raise();
    Detect(global);
}

void OEScreenshot::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        emit doubleClick();
}

void OEScreenshot::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        Quit();
    } else if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && selection_ &&
               !selecting_) {
        selection_->onSaveScreen();
    } else {
        QWidget::keyPressEvent(event);
    }
}

void OEScreenshot::Quit() {
    showNormal();
    close();
}
