#include "PictureViewer.h"

#include <cmath>

#include <QCursor>
#include <QDesktopServices>
#include <QFileInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QImageReader>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QUrl>
#include <QWheelEvent>

#include "SaveCopy.h"
#include "widgets/UiFont.h"

namespace {

const double kMinScale = 0.05;
const double kMaxScale = 8.0;
const double kStep = 1.25;
// Room around a picture shown at its own size, and the smallest window.
const int kFrame = 40;
const QSize kMinSize(640, 480);
const int kToolbarHeight = 44;
const char kStyle[] =
    "PictureViewer { background: #1e1e1e; }"
    "#picture_toolbar { background: rgba(0, 0, 0, 150); border-radius: 8px; }"
    "#picture_toolbar QPushButton { color: #ffffff; background: transparent; border: none;"
    " padding: 4px 10px; font-size: 14px; border-radius: 4px; }"
    "#picture_toolbar QPushButton:hover { background: rgba(255, 255, 255, 40); }"
    "#picture_zoom_lab { color: #ffffff; font-size: 13px; min-width: 48px; }";

QPointer<PictureViewer>& Instance() {
    static QPointer<PictureViewer> viewer;
    return viewer;
}

}  // namespace

bool PictureViewer::Open(const QString& path) {
    if (!Instance())
        Instance() = new PictureViewer;
    PictureViewer* viewer = Instance();
    if (!viewer->Load(path))
        return false;
    viewer->PlaceOnScreen();
    viewer->showNormal();
    viewer->raise();
    viewer->activateWindow();
    return true;
}

PictureViewer* PictureViewer::Current() {
    return Instance();
}

PictureViewer::PictureViewer() : QWidget(nullptr) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("picture_viewer"));
    setMinimumSize(kMinSize);
    setStyleSheet(QLatin1String(kStyle));
    setFont(UiFont::Font(14));
    BuildToolbar();
}

bool PictureViewer::Load(const QString& path) {
    QImageReader reader(path);
    // Sent pictures often carry the wrong suffix.
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(true);
    const QImage image = reader.read();
    if (image.isNull())
        return false;
    path_ = path;
    pixmap_ = QPixmap::fromImage(image);
    setWindowTitle(QStringLiteral("%1 - 图片查看").arg(QFileInfo(path).fileName()));
    return true;
}

void PictureViewer::BuildToolbar() {
    toolbar_ = new QFrame(this);
    toolbar_->setObjectName(QStringLiteral("picture_toolbar"));
    auto* layout = new QHBoxLayout(toolbar_);
    layout->setContentsMargins(8, 4, 8, 4);
    layout->setSpacing(2);
    QPushButton* out =
        ToolButton(QStringLiteral("zoom_out_btn"), QStringLiteral("－"), QStringLiteral("缩小"));
    zoom_lab_ = new QLabel(toolbar_);
    zoom_lab_->setObjectName(QStringLiteral("picture_zoom_lab"));
    zoom_lab_->setAlignment(Qt::AlignCenter);
    QPushButton* in =
        ToolButton(QStringLiteral("zoom_in_btn"), QStringLiteral("＋"), QStringLiteral("放大"));
    QPushButton* real = ToolButton(QStringLiteral("real_size_btn"), QStringLiteral("1:1"),
                                   QStringLiteral("原始大小"));
    QPushButton* fit = ToolButton(QStringLiteral("fit_btn"), QStringLiteral("适应窗口"),
                                  QStringLiteral("适应窗口"));
    QPushButton* save = ToolButton(QStringLiteral("save_btn"), QStringLiteral("另存为"),
                                   QStringLiteral("保存图片"));
    QPushButton* folder = ToolButton(QStringLiteral("folder_btn"), QStringLiteral("所在文件夹"),
                                     QStringLiteral("打开所在文件夹"));
    connect(out, &QPushButton::clicked, this, [this] { ZoomStep(-1); });
    connect(in, &QPushButton::clicked, this, [this] { ZoomStep(1); });
    connect(real, &QPushButton::clicked, this, [this] { ZoomTo(1.0, rect().center()); });
    connect(fit, &QPushButton::clicked, this, &PictureViewer::Fit);
    connect(save, &QPushButton::clicked, this, &PictureViewer::SaveAs);
    connect(folder, &QPushButton::clicked, this, &PictureViewer::OpenFolder);
    for (QWidget* widget :
         {static_cast<QWidget*>(out), static_cast<QWidget*>(zoom_lab_), static_cast<QWidget*>(in),
          static_cast<QWidget*>(real), static_cast<QWidget*>(fit), static_cast<QWidget*>(save),
          static_cast<QWidget*>(folder)}) {
        layout->addWidget(widget);
    }
    close_btn_ = new QPushButton(QStringLiteral("✕"), this);
    close_btn_->setObjectName(QStringLiteral("picture_close_btn"));
    close_btn_->setToolTip(QStringLiteral("关闭 (Esc)"));
    close_btn_->setCursor(Qt::PointingHandCursor);
    close_btn_->setFocusPolicy(Qt::NoFocus);
    close_btn_->setFixedSize(36, 36);
    close_btn_->setStyleSheet(
        QStringLiteral("QPushButton { color: #ffffff; background: rgba(0, 0, 0, 150); border: none;"
                       " border-radius: 18px; font-size: 16px; }"
                       "QPushButton:hover { background: #e81123; }"));
    connect(close_btn_, &QPushButton::clicked, this, &QWidget::close);
}

QPushButton* PictureViewer::ToolButton(const QString& name, const QString& text,
                                       const QString& tip) {
    auto* button = new QPushButton(text, toolbar_);
    button->setObjectName(name);
    button->setToolTip(tip);
    button->setCursor(Qt::PointingHandCursor);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

void PictureViewer::PlaceOnScreen() {
    QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const QRect area = screen->availableGeometry();
    const QSize most = area.size() * 0.85;
    QSize wanted = pixmap_.size() / pixmap_.devicePixelRatio() + QSize(kFrame, kFrame);
    wanted = wanted.boundedTo(most).expandedTo(kMinSize);
    resize(wanted);
    move(area.center() - QPoint(wanted.width() / 2, wanted.height() / 2));
    Fit();
}

double PictureViewer::FitScale() const {
    if (pixmap_.isNull())
        return 1.0;
    const double width = qMax(1, this->width() - kFrame);
    const double height = qMax(1, this->height() - kFrame);
    // Small pictures stay at their own size; large ones are shown whole.
    return qMin(1.0, qMin(width / pixmap_.width(), height / pixmap_.height()));
}

void PictureViewer::Fit() {
    scale_ = FitScale();
    offset_ = QPointF();
    fitted_ = true;
    UpdateZoomText();
    update();
}

void PictureViewer::ZoomTo(double scale, const QPointF& anchor) {
    scale = qBound(kMinScale, scale, kMaxScale);
    const QPointF centre = QPointF(rect().center()) + offset_;
    // The picture point under the anchor stays under it.
    offset_ = anchor - QPointF(rect().center()) - (anchor - centre) * (scale / scale_);
    scale_ = scale;
    fitted_ = false;
    KeepInView();
    UpdateZoomText();
    update();
}

void PictureViewer::ZoomStep(int steps) {
    ZoomTo(scale_ * std::pow(kStep, steps), rect().center());
}

void PictureViewer::KeepInView() {
    const QSizeF shown = QSizeF(pixmap_.size()) * scale_;
    // A picture smaller than the window stays centred on that axis.
    const double free_x = qMax(0.0, (shown.width() - width()) / 2);
    const double free_y = qMax(0.0, (shown.height() - height()) / 2);
    offset_.setX(qBound(-free_x, offset_.x(), free_x));
    offset_.setY(qBound(-free_y, offset_.y(), free_y));
}

QRectF PictureViewer::PictureRect() const {
    const QSizeF shown = QSizeF(pixmap_.size()) * scale_;
    QRectF target(QPointF(), shown);
    target.moveCenter(QPointF(rect().center()) + offset_);
    return target;
}

void PictureViewer::UpdateZoomText() {
    zoom_lab_->setText(QStringLiteral("%1%").arg(qRound(scale_ * 100)));
}

void PictureViewer::PlaceControls() {
    toolbar_->adjustSize();
    toolbar_->move((width() - toolbar_->width()) / 2,
                   height() - kToolbarHeight - 12 + (kToolbarHeight - toolbar_->height()) / 2);
    close_btn_->move(width() - close_btn_->width() - 12, 12);
    toolbar_->raise();
    close_btn_->raise();
}

void PictureViewer::SaveAs() {
    const QString target = SaveCopy::AskTarget(this, QFileInfo(path_).fileName());
    if (!target.isEmpty() && !SaveCopy::Copy(path_, target)) {
        QMessageBox::warning(this, QStringLiteral("提示"),
                             QStringLiteral("文件保存失败：%1").arg(target));
    }
}

void PictureViewer::OpenFolder() {
    QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path_).absolutePath()));
}

void PictureViewer::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(0x1e, 0x1e, 0x1e));
    painter.setRenderHint(QPainter::SmoothPixmapTransform, scale_ < 4.0);
    painter.drawPixmap(PictureRect(), pixmap_, QRectF(pixmap_.rect()));
}

void PictureViewer::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (fitted_)
        Fit();
    else
        KeepInView();
    PlaceControls();
}

void PictureViewer::wheelEvent(QWheelEvent* event) {
    const int steps = event->angleDelta().y() / 120;
    if (steps != 0)
        ZoomTo(scale_ * std::pow(kStep, steps), event->position());
    event->accept();
}

void PictureViewer::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    dragging_ = true;
    drag_from_ = event->pos();
    setCursor(Qt::ClosedHandCursor);
}

void PictureViewer::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_)
        return;
    offset_ += event->pos() - drag_from_;
    drag_from_ = event->pos();
    KeepInView();
    update();
}

void PictureViewer::mouseReleaseEvent(QMouseEvent*) {
    dragging_ = false;
    unsetCursor();
}

void PictureViewer::mouseDoubleClickEvent(QMouseEvent* event) {
    // Between the whole picture and its own size.
    if (qFuzzyCompare(scale_, 1.0) && !qFuzzyCompare(FitScale(), 1.0))
        Fit();
    else
        ZoomTo(1.0, event->pos());
}

void PictureViewer::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Escape:
            close();
            break;
        case Qt::Key_Plus:
        case Qt::Key_Equal:
            ZoomStep(1);
            break;
        case Qt::Key_Minus:
            ZoomStep(-1);
            break;
        default:
            QWidget::keyPressEvent(event);
    }
}
