#pragma once

#include <QDate>
#include <QDateTime>
#include <QFont>
#include <QStyledItemDelegate>

#include "SearchResults.h"
#include "engine/SearchText.h"

class QPainter;

// Draws the rows of SearchResults in the style of the conversation list: names and message
// excerpts as plain text with the matched words in the accent colour (never as markup, so a
// message containing "<b>" shows those characters), avatars, the date of each message.
class SearchResultDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    static constexpr int kMaxExcerptLines = 2;

    explicit SearchResultDelegate(SearchResults* view);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

    static int RowHeight(SearchResults::RowKind kind, int lines);
    static QFont ExcerptFont();
    // The width of an excerpt in a list `list_width` wide, with room kept for the scroll bar.
    static int ExcerptWidth(int list_width);
    // Today "HH:mm", this year "M月d日", else "yyyy/M/d".
    static QString DateText(const QDateTime& date, const QDate& today);
    // Who wrote a message: "我" for one's own.
    static QString SenderText(const MsgSearchItemInfo& item);
    // The excerpt as shown: an attachment's name after its kind ("[文件] "); *matches (when
    // given) gets the places of the query in it.
    static QString ExcerptText(const MsgSearchItemInfo& item, SearchText::Matches* matches);
    // `text` as laid out in at most `max_lines` lines of `width` pixels, the last one cut with
    // "…" when the text goes on; *lines gets the number of lines.
    static QString Fit(const QString& text, const QFont& font, int width, int max_lines,
                       int* lines);

private:
    void PaintBackground(QPainter* painter, const QStyleOptionViewItem& option,
                         const SearchResults::Row& row) const;
    void PaintName(QPainter* painter, const QRect& rect, const SearchResults::Row& row) const;
    void PaintHeader(QPainter* painter, const QRect& rect, const SearchResults::Row& row,
                     bool first) const;
    void PaintMessage(QPainter* painter, const QRect& rect, const SearchResults::Row& row) const;
    static void PaintNote(QPainter* painter, const QRect& rect, const SearchResults::Row& row);
    void PaintAvatar(QPainter* painter, const QRect& rect, int other_id) const;
    // Draws `text` from `top_left` in `width`, matches in the accent colour, its first
    // `muted` characters (an attachment's kind) faint.
    static void DrawHighlighted(QPainter* painter, const QPoint& top_left, int width,
                                const QString& text, const SearchText::Matches& matches,
                                const QFont& font, const QColor& color, int max_lines,
                                int muted = 0);

    SearchResults* view_;
};
