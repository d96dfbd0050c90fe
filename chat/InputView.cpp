#include "InputView.h"

#include <QDomDocument>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QRegularExpression>
#include <QStringList>
#include <QTextCursor>
#include <QTextImageFormat>

namespace {
const int kEmojiInputSize = 24;
const char kEmojiFolder[] = ":/resource/emoji_default/";
}  // namespace

InputView::InputView(QWidget* parent) : QTextEdit(parent) {
    setObjectName(QStringLiteral("input_view"));
    setAcceptDrops(false);
    setFrameShape(QFrame::NoFrame);
}

bool InputView::event(QEvent* event) {
    const bool handled = QTextEdit::event(event);
    // The style sheet's text colour is also the placeholder's: it would read as typed text.
    if (event->type() == QEvent::Polish) {
        QPalette faint = palette();
        faint.setColor(QPalette::PlaceholderText, QColor(QStringLiteral("#a3a8b0")));
        setPalette(faint);
    }
    return handled;
}

QString InputView::SentText() const {
    return TextFromHtml(toHtml(), toPlainText());
}

QString InputView::TextFromHtml(const QString& html, const QString& plain) {
    QDomDocument document;
    // The editor writes a no-break space as the one entity XML does not know.
    QString xml = html;
    xml.replace(QLatin1String("&nbsp;"), QLatin1String("&#160;"));
    if (!document.setContent(xml))
        return plain;
    const QDomElement body = document.documentElement().firstChildElement(QStringLiteral("body"));
    QStringList lines;
    for (QDomElement p = body.firstChildElement(QStringLiteral("p")); !p.isNull();
         p = p.nextSiblingElement(QStringLiteral("p"))) {
        QString line;
        AppendText(p, &line);
        lines << line;
    }
    return lines.join(QLatin1Char('\n'));
}

QString InputView::FragmentText(const QString& html) {
    QDomDocument document;
    QString xml = html;
    xml.replace(QLatin1String("&nbsp;"), QLatin1String("&#160;"));
    if (!document.setContent(xml))
        return QString();
    QString text;
    // A copied part of one paragraph has no paragraph of its own.
    const QDomElement body = document.documentElement().firstChildElement(QStringLiteral("body"));
    if (body.firstChildElement(QStringLiteral("p")).isNull())
        AppendText(body, &text);
    else
        text = TextFromHtml(xml, QString());
    return text.trimmed();
}

void InputView::AppendText(const QDomNode& node, QString* line) {
    for (QDomNode child = node.firstChild(); !child.isNull(); child = child.nextSibling()) {
        if (child.isText()) {
            line->append(child.toText().data());
            continue;
        }
        const QDomElement element = child.toElement();
        if (element.isNull())
            continue;
        const QString tag = element.tagName().toLower();
        if (tag == QLatin1String("img")) {
            const QString src = element.attribute(QStringLiteral("src"));
            if (src.contains(QLatin1String("emoji_default")))
                line->append(QStringLiteral("[%1]").arg(QFileInfo(src).completeBaseName()));
        } else if (tag == QLatin1String("br")) {
            line->append(QLatin1Char('\n'));
        } else {
            AppendText(element, line);
        }
    }
}

void InputView::InsertEmoji(const QString& file_name) {
    QTextImageFormat image;
    image.setName(QLatin1String(kEmojiFolder) + file_name);
    image.setWidth(kEmojiInputSize);
    image.setHeight(kEmojiInputSize);
    textCursor().insertImage(image);
    setFocus();
}

void InputView::InsertText(const QString& text) {
    static const QRegularExpression emoji(QStringLiteral("\\[(\\w+)\\]"),
                                          QRegularExpression::UseUnicodePropertiesOption);
    QTextCursor cursor = textCursor();
    int from = 0;
    for (auto it = emoji.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        const QString file_name = match.captured(1) + QLatin1String(".png");
        if (!QFile::exists(QLatin1String(kEmojiFolder) + file_name))
            continue;
        cursor.insertText(text.mid(from, match.capturedStart() - from));
        InsertEmoji(file_name);
        cursor = textCursor();
        from = match.capturedEnd();
    }
    cursor.insertText(text.mid(from));
    setTextCursor(cursor);
}

bool InputView::canInsertFromMimeData(const QMimeData* source) const {
    return source->hasText() || source->hasHtml();
}

void InputView::insertFromMimeData(const QMimeData* source) {
    QString text;
    // Copied from this editor: the emoji pictures come back as emoji.
    if (source->hasHtml() && source->html().contains(QLatin1String("emoji_default")))
        text = FragmentText(source->html());
    if (text.isEmpty())
        text = source->text().remove(QChar::ObjectReplacementCharacter);
    InsertText(text);
}
