#pragma once

#include <QFrame>
#include <QString>

class QLineEdit;
class QPushButton;

// The search box above the conversation list: a magnifier, the text and a clear button that
// shows while there is text. Keys meant for the results (arrows, Enter, Escape) are reported
// instead of being handled by the text field.
class SearchBox : public QFrame {
    Q_OBJECT
public:
    explicit SearchBox(QWidget* parent = nullptr);

    QLineEdit* Edit() const { return edit_; }
    QString Text() const;
    void Clear();
    // Focuses the text with all of it selected, so typing replaces it.
    void FocusAndSelect();

signals:
    // Every change, typed or cleared.
    void text_changed(QString text);
    void escape_pressed();
    // Up (-1) or Down (+1).
    void step(int delta);
    void enter_pressed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnTextChanged(const QString& text);
    void SetFocusedLook(bool focused);
    bool KeyPressed(int key);

    QLineEdit* edit_ = nullptr;
    QPushButton* clear_btn_ = nullptr;
};
