#pragma once

#include <QLabel>
#include <QString>

// A one-line label that cuts its text with an ellipsis to whatever width it is given (and shows
// nothing where only the ellipsis would fit), with the whole text as its tool tip when cut. It asks
// for no width of its own, so long titles never widen a table column or a list row.
class ElidedLabel : public QLabel {
    Q_OBJECT
public:
    explicit ElidedLabel(const QString& text = QString(), QWidget* parent = nullptr);

    // `short_text`, when given, is shown (cut as needed) where the whole text does not fit.
    void SetFullText(const QString& text, const QString& short_text = QString());
    QString FullText() const { return full_text_; }
    // The shown text follows the width; set the text with SetFullText.
    void setText(const QString&) = delete;

    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void Elide();

    QString full_text_;
    QString short_text_;
};
