#pragma once

#include <QWidget>
#include <memory>

class ScreenImage;

// The magnifier that follows the cursor: the pixels around it enlarged under a cross-hair,
// the size of the selection (or of the outlined window) and the colour under the cursor.
class OEAmplifier : public QWidget {
    Q_OBJECT
public:
    OEAmplifier(std::shared_ptr<const ScreenImage> screen, QWidget* parent);

    // The device pixels that are enlarged around `cursor`; empty where that area would leave
    // the screen.
    QRect SourceArea(const QPoint& cursor) const;

public slots:
    void onSizeChange(int w, int h);
    void onPostionChange(int x, int y);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void DrawCrossHair(QPainter& painter);
    void DrawTexts(QPainter& painter);
    // Beside the cursor, on whichever side keeps it on the screen.
    void FollowCursor();

    std::shared_ptr<const ScreenImage> screen_;
    QPoint cursor_{-1, -1};
    QSize selection_{-1, -1};
    int image_height_;
};
