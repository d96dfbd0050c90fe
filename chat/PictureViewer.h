#pragma once

#include <QPixmap>
#include <QPointF>
#include <QString>
#include <QWidget>

class QLabel;
class QFrame;
class QPushButton;

// A window showing one picture at full size: fitted into the screen when it is larger, zoomed
// with the wheel or the tool bar, dragged when larger than the window, 1:1 on a double click;
// Escape closes it. One window serves every picture.
class PictureViewer : public QWidget {
    Q_OBJECT
public:
    // Shows the picture at `path` (the window is made on first use); false when it is no
    // readable picture.
    static bool Open(const QString& path);
    // The open window; null when there is none.
    static PictureViewer* Current();

    QString Path() const { return path_; }
    QSize PictureSize() const { return pixmap_.size(); }
    // Shown size / real size.
    double Scale() const { return scale_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    PictureViewer();
    bool Load(const QString& path);
    void BuildToolbar();
    QPushButton* ToolButton(const QString& name, const QString& text, const QString& tip);
    // The window size for the picture: its own plus a frame, within most of the screen.
    void PlaceOnScreen();
    double FitScale() const;
    void Fit();
    // Zooms to `scale` keeping the picture point under `anchor` (window coordinates) in place.
    void ZoomTo(double scale, const QPointF& anchor);
    void ZoomStep(int steps);
    void KeepInView();
    QRectF PictureRect() const;
    void UpdateZoomText();
    void PlaceControls();
    void SaveAs();
    void OpenFolder();

    QString path_;
    QPixmap pixmap_;
    double scale_ = 1.0;
    // Where the picture's centre stands, from the window's centre.
    QPointF offset_;
    QPoint drag_from_;
    bool dragging_ = false;
    bool fitted_ = true;

    QFrame* toolbar_ = nullptr;
    QLabel* zoom_lab_ = nullptr;
    QPushButton* close_btn_ = nullptr;
};
