#pragma once

#include <QTextEdit>

class QDomNode;

// The message editor: rich text holding inline emoji pictures. What it holds is sent as text
// with each emoji written as its name in square brackets.
class InputView : public QTextEdit {
    Q_OBJECT
public:
    explicit InputView(QWidget* parent = nullptr);

    // The text to send for what the editor holds.
    QString SentText() const;
    // One line per paragraph of `html`, emoji pictures as "[name]", other pictures dropped;
    // `plain` when `html` cannot be read.
    static QString TextFromHtml(const QString& html, const QString& plain);
    // Puts the emoji picture "<file name>" of the emoji set at the cursor.
    void InsertEmoji(const QString& file_name);
    // Puts `text` at the cursor, its "[name]" tokens of the emoji set as their pictures.
    void InsertText(const QString& text);

protected:
    bool event(QEvent* event) override;
    // Pasted rich text would bring foreign fonts and pictures: only its text comes in.
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;

private:
    static void AppendText(const QDomNode& node, QString* line);
    // The text of a copied part of the editor; empty when unreadable.
    static QString FragmentText(const QString& html);
};
