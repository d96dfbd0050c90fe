#pragma once

#include <QPixmap>
#include <QWidget>

// The size label beside the selection: "width x height" on a dark background.
class OERect : public QWidget {
    Q_OBJECT
public:
    explicit OERect(QWidget* parent);

    QString Text() const { return text_; }

public slots:
    // The selection's top-left corner moved to (x, y).
    void onPostionChange(int x, int y);
    void onSizeChange(int w, int h);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap background_;
    QString text_;
};
