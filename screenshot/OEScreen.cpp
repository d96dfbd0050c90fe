#include "OEScreen.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QStandardPaths>

#include "ScreenImage.h"
#include "ShotScale.h"

namespace {
// Width of the band along the border that resizes instead of moving.
const int kEdge = 6;
const QColor kBorder(0, 174, 255);
const int kHandleWidth = 4;
}  // namespace

OEScreen::OEScreen(std::shared_ptr<const ScreenImage> screen, const QPoint& origin, QWidget* parent)
    : QWidget(parent), screen_(std::move(screen)), origin_(origin) {
    setObjectName(QStringLiteral("screenshot_selection"));
    setMouseTracking(true);
    setCursor(Qt::SizeAllCursor);
    setGeometry(QRect(origin, QSize(1, 1)));
    BuildMenu();
}

void OEScreen::BuildMenu() {
    menu_ = new QMenu(this);
    menu_->setObjectName(QStringLiteral("screenshot_menu"));
    menu_->addAction(QStringLiteral("发送截图"), this, &OEScreen::onSaveScreen);
    menu_->addAction(QStringLiteral("保存"), this, &OEScreen::onSaveScreenOther);
    menu_->addSeparator();
    menu_->addAction(QStringLiteral("退出截图"), this, &OEScreen::quitScreenshot);
}

QPixmap OEScreen::Captured() const {
    return screen_->Part(geometry());
}

QRect OEScreen::Bounds() const {
    return parentWidget()->rect();
}

void OEScreen::onMouseChange(int x, int y) {
    setGeometry(QRect(origin_, QPoint(x, y)).normalized().intersected(Bounds()));
}

void OEScreen::onSaveScreen() {
    QGuiApplication::clipboard()->setPixmap(Captured());
    emit screen_copied();
    window()->close();
}

void OEScreen::onSaveScreenOther() {
    const QString suggested =
        QDir(QStandardPaths::writableLocation(QStandardPaths::PicturesLocation))
            .filePath(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd-HH-mm-ss")));
    QString name = QFileDialog::getSaveFileName(this, QStringLiteral("保存图片"), suggested,
                                                QStringLiteral("JPEG Files (*.jpg)"));
    if (name.isEmpty())
        return;
    if (QFileInfo(name).suffix().isEmpty())
        name += QStringLiteral(".jpg");
    // A failed write keeps the tool open, so the capture is not lost.
    if (!Captured().save(name, "jpg")) {
        QMessageBox::warning(this, QStringLiteral("保存图片"),
                             QStringLiteral("无法保存到 %1").arg(QDir::toNativeSeparators(name)));
        return;
    }
    window()->close();
}

void OEScreen::quitScreenshot() {
    window()->close();
}

void OEScreen::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawPixmap(rect(), screen_->Pixmap(), screen_->DeviceArea(geometry()));
    painter.setPen(QPen(kBorder, 1));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    painter.setPen(QPen(Qt::red, kHandleWidth));
    painter.drawPoints(handles_.data(), handles_.size());
}

void OEScreen::UpdateHandles() {
    // Inside the border, so that a whole handle shows.
    const int inset = kHandleWidth / 2;
    const int left = inset;
    const int top = inset;
    const int right = width() - 1 - inset;
    const int bottom = height() - 1 - inset;
    const int middle_x = width() / 2;
    const int middle_y = height() / 2;
    handles_ = {{left, top},     {middle_x, top},    {right, top},   {right, middle_y},
                {right, bottom}, {middle_x, bottom}, {left, bottom}, {left, middle_y}};
}

QPoint OEScreen::InOverlay(const QMouseEvent* event) const {
    return parentWidget()->mapFromGlobal(event->globalPos());
}

// Mouse events stop here: what reaches the overlay means "outside the selection".
void OEScreen::mousePressEvent(QMouseEvent* event) {
    event->accept();
    if (event->button() != Qt::LeftButton)
        return;
    region_ = SelectionGeometry::RegionAt(size(), event->pos(), ShotScale::Scaled(kEdge));
    dragging_ = true;
    drag_start_ = geometry();
    drag_offset_ = InOverlay(event) - pos();
}

void OEScreen::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
    if (dragging_) {
        Drag(InOverlay(event));
        return;
    }
    region_ = SelectionGeometry::RegionAt(size(), event->pos(), ShotScale::Scaled(kEdge));
    setCursor(SelectionGeometry::CursorFor(region_));
}

void OEScreen::Drag(const QPoint& cursor) {
    const QRect bounds = Bounds();
    if (region_ == SelectionGeometry::kInside) {
        const QPoint to = cursor - drag_offset_;
        move(qBound(0, to.x(), bounds.width() - width()),
             qBound(0, to.y(), bounds.height() - height()));
        return;
    }
    const QPoint inside(qBound(bounds.left(), cursor.x(), bounds.right()),
                        qBound(bounds.top(), cursor.y(), bounds.bottom()));
    setGeometry(SelectionGeometry::Resized(drag_start_, region_, inside));
}

void OEScreen::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    if (event->button() != Qt::LeftButton || !dragging_)
        return;
    dragging_ = false;
    if (region_ != SelectionGeometry::kInside)
        setCursor(Qt::SizeAllCursor);
}

void OEScreen::mouseDoubleClickEvent(QMouseEvent* event) {
    event->accept();
    if (event->button() == Qt::LeftButton)
        emit doubleClick();
}

void OEScreen::contextMenuEvent(QContextMenuEvent* event) {
    menu_->exec(event->globalPos());
}

void OEScreen::moveEvent(QMoveEvent*) {
    emit postionChange(x(), y());
}

void OEScreen::resizeEvent(QResizeEvent*) {
    UpdateHandles();
    emit sizeChange(width(), height());
}
