#include "SearchResultDelegate.h"

#include <QFontMetrics>
#include <QIcon>
#include <QPainter>
#include <QTextLayout>

#include "widgets/AvatarCache.h"
#include "widgets/UiFont.h"

namespace {

const QColor kAccent(0x18, 0x91, 0xed);
const QColor kText(0x33, 0x33, 0x33);
const QColor kMuted(0x8f, 0x95, 0x9e);
const QColor kFaint(0xb0, 0xb4, 0xba);
const QColor kHover(0xec, 0xef, 0xf3);
const QColor kSelected(0xdc, 0xeb, 0xfb);
const QColor kRule(0xe6, 0xe8, 0xeb);

const int kLeft = 14;
const int kRight = 12;
// Kept free for the scroll bar, so a row's lines do not change when it comes or goes.
const int kScrollBar = 6;
const int kNameAvatar = 36;
const int kHeaderAvatar = 24;
const int kSenderLine = 18;
const int kMessageTop = 7;
const int kMessageBottom = 9;

QFont BoldFont(int pixel_size) {
    QFont font = UiFont::Font(pixel_size);
    font.setBold(true);
    return font;
}

QString Elided(const QString& text, const QFont& font, int width) {
    return QFontMetrics(font).elidedText(text, Qt::ElideRight, width);
}

QTextOption WrapOption() {
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    return option;
}

}  // namespace

SearchResultDelegate::SearchResultDelegate(SearchResults* view)
    : QStyledItemDelegate(view), view_(view) {}

QFont SearchResultDelegate::ExcerptFont() {
    return UiFont::Font(13);
}

int SearchResultDelegate::ExcerptWidth(int list_width) {
    return qMax(40, list_width - kLeft - kRight - kScrollBar);
}

int SearchResultDelegate::RowHeight(SearchResults::RowKind kind, int lines) {
    switch (kind) {
        case SearchResults::kSection:
            return 30;
        case SearchResults::kName:
            return 52;
        case SearchResults::kGroupHeader:
            return 40;
        case SearchResults::kMessage:
            return kMessageTop + kSenderLine + 3 + lines * QFontMetrics(ExcerptFont()).height() +
                   kMessageBottom;
        case SearchResults::kFooter:
            return 36;
        case SearchResults::kEmpty:
            return 100;
    }
    return 0;
}

QString SearchResultDelegate::DateText(const QDateTime& date, const QDate& today) {
    if (date.date() == today)
        return date.toString(QStringLiteral("HH:mm"));
    if (date.date().year() == today.year())
        return date.toString(QStringLiteral("M月d日"));
    return date.toString(QStringLiteral("yyyy/M/d"));
}

QString SearchResultDelegate::SenderText(const MsgSearchItemInfo& item) {
    return item.send_or_receive == 1 ? QStringLiteral("我") : item.sender_name;
}

QString SearchResultDelegate::ExcerptText(const MsgSearchItemInfo& item,
                                          SearchText::Matches* matches) {
    QString kind;
    switch (item.msg_type) {
        case 2:
            kind = QStringLiteral("[文件] ");
            break;
        case 3:
            kind = QStringLiteral("[图片] ");
            break;
        case 4:
            kind = QStringLiteral("[语音] ");
            break;
        case 5:
            kind = QStringLiteral("[视频] ");
            break;
        default:
            break;
    }
    if (matches) {
        matches->clear();
        for (const auto& match : item.matches)
            matches->append({match.first + kind.size(), match.second});
    }
    return kind + item.text;
}

QString SearchResultDelegate::Fit(const QString& text, const QFont& font, int width, int max_lines,
                                  int* lines) {
    QTextLayout layout(text, font);
    layout.setTextOption(WrapOption());
    layout.beginLayout();
    int count = 0;
    int cut = -1;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        if (++count < max_lines)
            continue;
        if (line.textStart() + line.textLength() < text.size())
            cut = line.textStart();
        break;
    }
    layout.endLayout();
    if (lines)
        *lines = qMax(1, count);
    if (cut < 0)
        return text;
    return text.left(cut) + Elided(text.mid(cut), font, width);
}

void SearchResultDelegate::DrawHighlighted(QPainter* painter, const QPoint& top_left, int width,
                                           const QString& text, const SearchText::Matches& matches,
                                           const QFont& font, const QColor& color, int max_lines,
                                           int muted) {
    const QString fitted = Fit(text, font, width, max_lines, nullptr);
    // A cut text ends in "…", which is never part of a match.
    const int usable = fitted == text ? fitted.size() : fitted.size() - 1;
    QVector<QTextLayout::FormatRange> formats;
    if (muted > 0) {
        QTextLayout::FormatRange range;
        range.start = 0;
        range.length = qMin(muted, usable);
        range.format.setForeground(kMuted);
        formats.append(range);
    }
    for (const auto& match : matches) {
        const int length = qMin(match.second, usable - match.first);
        if (match.first < 0 || length <= 0)
            continue;
        QTextLayout::FormatRange range;
        range.start = match.first;
        range.length = length;
        range.format.setForeground(kAccent);
        formats.append(range);
    }
    QTextLayout layout(fitted, font);
    layout.setTextOption(WrapOption());
    layout.setFormats(formats);
    layout.beginLayout();
    qreal y = 0;
    for (int i = 0; i < max_lines; ++i) {
        QTextLine line = layout.createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(width);
        line.setPosition(QPointF(0, y));
        y += line.height();
    }
    layout.endLayout();
    painter->setPen(color);
    layout.draw(painter, top_left);
}

void SearchResultDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const {
    const SearchResults::Row* row = view_->RowAt(index.row());
    if (!row)
        return;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    PaintBackground(painter, option, *row);
    const QRect rect = option.rect;
    switch (row->kind) {
        case SearchResults::kName:
            PaintName(painter, rect, *row);
            break;
        case SearchResults::kGroupHeader: {
            const SearchResults::Row* above = view_->RowAt(index.row() - 1);
            PaintHeader(painter, rect, *row, above && above->kind == SearchResults::kSection);
            break;
        }
        case SearchResults::kMessage:
            PaintMessage(painter, rect, *row);
            break;
        default:
            PaintNote(painter, rect, *row);
            break;
    }
    painter->restore();
}

void SearchResultDelegate::PaintBackground(QPainter* painter, const QStyleOptionViewItem& option,
                                           const SearchResults::Row& row) const {
    if (row.kind != SearchResults::kName && row.kind != SearchResults::kGroupHeader &&
        row.kind != SearchResults::kMessage) {
        return;
    }
    if (option.state & QStyle::State_Selected)
        painter->fillRect(option.rect, kSelected);
    else if (option.state & QStyle::State_MouseOver)
        painter->fillRect(option.rect, kHover);
}

void SearchResultDelegate::PaintAvatar(QPainter* painter, const QRect& rect, int other_id) const {
    if (other_id > 0) {
        const QPixmap round =
            view_->Avatars() ? view_->Avatars()->Round(other_id, rect.size()) : QPixmap();
        if (!round.isNull()) {
            painter->drawPixmap(rect, round);
            return;
        }
    }
    const QString picture = other_id < 0 ? QStringLiteral(":/resource/discuss_group.png")
                                         : QStringLiteral(":/resource/default_avatar.png");
    QIcon(picture).paint(painter, rect);
}

void SearchResultDelegate::PaintName(QPainter* painter, const QRect& rect,
                                     const SearchResults::Row& row) const {
    const int top = rect.top() + (rect.height() - kNameAvatar) / 2;
    PaintAvatar(painter, QRect(rect.left() + 12, top, kNameAvatar, kNameAvatar), row.other_id);
    const int left = rect.left() + 12 + kNameAvatar + 10;
    const int width = rect.right() - kRight - left;
    DrawHighlighted(painter, QPoint(left, top), width, row.item->text, row.item->matches,
                    UiFont::Font(14), kText, 1);
    painter->setFont(UiFont::Font(12));
    painter->setPen(kMuted);
    painter->drawText(QRect(left, top + 20, width, 16), Qt::AlignLeft | Qt::AlignVCenter,
                      row.other_id < 0 ? QStringLiteral("群聊") : QStringLiteral("联系人"));
}

void SearchResultDelegate::PaintHeader(QPainter* painter, const QRect& rect,
                                       const SearchResults::Row& row, bool first) const {
    if (!first)
        painter->fillRect(QRect(rect.left() + 12, rect.top(), rect.width() - 24, 1), kRule);
    const int top = rect.top() + (rect.height() - kHeaderAvatar) / 2;
    PaintAvatar(painter, QRect(rect.left() + 12, top, kHeaderAvatar, kHeaderAvatar), row.other_id);
    const int left = rect.left() + 12 + kHeaderAvatar + 8;
    const QFont font = BoldFont(13);
    painter->setFont(font);
    painter->setPen(kText);
    const QRect text(left, rect.top(), rect.right() - kRight - left, rect.height());
    painter->drawText(text, Qt::AlignLeft | Qt::AlignVCenter, Elided(row.text, font, text.width()));
}

void SearchResultDelegate::PaintMessage(QPainter* painter, const QRect& rect,
                                        const SearchResults::Row& row) const {
    const MsgSearchItemInfo& item = *row.item;
    const int left = rect.left() + kLeft;
    const int width = ExcerptWidth(view_->width());
    const int top = rect.top() + kMessageTop;
    const QFont date_font = UiFont::Font(11);
    const QString date = DateText(item.send_date, QDate::currentDate());
    const int date_width = QFontMetrics(date_font).horizontalAdvance(date);
    painter->setFont(date_font);
    painter->setPen(kFaint);
    painter->drawText(QRect(left, top, width, kSenderLine), Qt::AlignRight | Qt::AlignVCenter,
                      date);
    const QFont sender_font = UiFont::Font(12);
    painter->setFont(sender_font);
    painter->setPen(kMuted);
    painter->drawText(QRect(left, top, width - date_width - 8, kSenderLine),
                      Qt::AlignLeft | Qt::AlignVCenter,
                      Elided(SenderText(item), sender_font, width - date_width - 8));
    SearchText::Matches matches;
    const QString excerpt = ExcerptText(item, &matches);
    DrawHighlighted(painter, QPoint(left, top + kSenderLine + 3), width, excerpt, matches,
                    ExcerptFont(), kText, kMaxExcerptLines, excerpt.size() - item.text.size());
}

void SearchResultDelegate::PaintNote(QPainter* painter, const QRect& rect,
                                     const SearchResults::Row& row) {
    painter->setPen(kMuted);
    switch (row.kind) {
        case SearchResults::kSection:
            painter->setFont(UiFont::Font(12));
            painter->drawText(rect.adjusted(kLeft, 8, -kRight, 0), Qt::AlignLeft | Qt::AlignVCenter,
                              row.text);
            break;
        case SearchResults::kFooter:
            painter->setFont(UiFont::Font(12));
            painter->drawText(rect, Qt::AlignCenter, row.text);
            break;
        default:
            painter->setFont(UiFont::Font(13));
            painter->drawText(rect.adjusted(20, 24, -20, 0),
                              Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, row.text);
            break;
    }
}
