#pragma once

#include <QLabel>
#include <QString>

// A one-line label that cuts its text with an ellipsis to whatever width it is given and shows
// the whole text as its tool tip when cut. It asks for no width of its own, so long titles
// never widen a table column or a list row.
class ElidedLabel : public QLabel {
    Q_OBJECT
public:
    explicit ElidedLabel(const QString& text = QString(), QWidget* parent = nullptr);

    void SetFullText(const QString& text);
    QString FullText() const { return full_text_; }

    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void Elide();

    QString full_text_;
};
