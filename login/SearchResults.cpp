#include "SearchResults.h"

#include <QHash>
#include <QResizeEvent>
#include <QScrollBar>
#include <QTimer>

#include "SearchResultDelegate.h"

SearchResults::SearchResults(AvatarCache* avatars, QWidget* parent)
    : QListWidget(parent), avatars_(avatars) {
    setObjectName(QStringLiteral("search_results"));
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::NoFocus);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setMouseTracking(true);
    viewport()->setAttribute(Qt::WA_Hover);
    setItemDelegate(new SearchResultDelegate(this));
    connect(this, &QListWidget::itemClicked, this, &SearchResults::OnClicked);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, &SearchResults::CheckMoreWanted);
}

SearchResults::~SearchResults() {
    Clear();
}

void SearchResults::Clear() {
    rows_.clear();
    clear();
    qDeleteAll(names_);
    names_.clear();
    for (const Group& group : groups_)
        qDeleteAll(group.items);
    groups_.clear();
    more_ = false;
    has_results_ = false;
}

void SearchResults::Show(const QString& query, const MsgSearchItemInfoPointers& items, bool more) {
    Clear();
    query_ = query;
    for (MsgSearchItemInfo* item : items) {
        if (item->kind != MsgSearchItemInfo::kMessage)
            names_.append(item);
    }
    AddMessages(items);
    more_ = more;
    has_results_ = true;
    Rebuild();
    scrollToTop();
}

void SearchResults::AddMore(const MsgSearchItemInfoPointers& items, bool more) {
    int offset = 0;
    const QString top = TopKey(&offset);
    AddMessages(items);
    // Names come with the first page only.
    for (MsgSearchItemInfo* item : items) {
        if (item->kind != MsgSearchItemInfo::kMessage)
            delete item;
    }
    more_ = more;
    Rebuild();
    RestoreTop(top, offset);
}

void SearchResults::AddMessages(const MsgSearchItemInfoPointers& items) {
    // A later page continues the groups of its conversations: all its messages are older.
    QHash<int, int> index;
    for (int i = 0; i < groups_.size(); ++i)
        index.insert(groups_.at(i).other_id, i);
    for (MsgSearchItemInfo* item : items) {
        if (item->kind != MsgSearchItemInfo::kMessage)
            continue;
        auto found = index.constFind(item->other_id);
        if (found == index.constEnd()) {
            found = index.insert(item->other_id, groups_.size());
            groups_.append({item->other_id, item->other_name, {}});
        }
        groups_[found.value()].items.append(item);
    }
}

void SearchResults::Rebuild() {
    const QSignalBlocker blocker(this);
    rows_.clear();
    clear();
    if (!names_.isEmpty())
        AddRow({kSection, nullptr, 0, QStringLiteral("联系人和群聊")});
    for (const MsgSearchItemInfo* item : names_)
        AddRow({kName, item, item->other_id, item->other_name});
    if (!groups_.isEmpty())
        AddRow({kSection, nullptr, 0, QStringLiteral("聊天记录")});
    for (const Group& group : groups_) {
        AddRow({kGroupHeader, nullptr, group.other_id, group.name});
        for (const MsgSearchItemInfo* item : group.items)
            AddRow({kMessage, item, item->other_id, item->text});
    }
    if (more_)
        AddRow({kFooter, nullptr, 0, QStringLiteral("正在加载…")});
    else if (has_results_ && rows_.isEmpty())
        AddRow({kEmpty, nullptr, 0, QStringLiteral("没有找到“%1”相关的结果").arg(query_)});
    QTimer::singleShot(0, this, &SearchResults::CheckMoreWanted);
}

void SearchResults::AddRow(Row row) {
    if (row.kind == kMessage) {
        SearchText::Matches matches;
        SearchResultDelegate::Fit(SearchResultDelegate::ExcerptText(*row.item, &matches),
                                  SearchResultDelegate::ExcerptFont(),
                                  SearchResultDelegate::ExcerptWidth(width()),
                                  SearchResultDelegate::kMaxExcerptLines, &row.lines);
    }
    auto* list_item = new QListWidgetItem(this);
    // The plain text, for accessibility; the delegate draws the row.
    list_item->setText(row.kind == kMessage ? SearchResultDelegate::ExcerptText(*row.item, nullptr)
                                            : row.text);
    if (row.kind == kSection || row.kind == kFooter || row.kind == kEmpty)
        list_item->setFlags(Qt::NoItemFlags);
    list_item->setSizeHint(QSize(0, SearchResultDelegate::RowHeight(row.kind, row.lines)));
    rows_.append(row);
}

void SearchResults::resizeEvent(QResizeEvent* event) {
    QListWidget::resizeEvent(event);
    if (rows_.isEmpty() || event->size().width() == event->oldSize().width())
        return;
    int offset = 0;
    const QString top = TopKey(&offset);
    Rebuild();
    RestoreTop(top, offset);
}

const SearchResults::Row* SearchResults::RowAt(int row) const {
    return row >= 0 && row < rows_.size() ? &rows_.at(row) : nullptr;
}

QString SearchResults::KeyOf(const Row& row) const {
    switch (row.kind) {
        case kName:
            return QStringLiteral("n%1").arg(row.other_id);
        case kGroupHeader:
            return QStringLiteral("g%1").arg(row.other_id);
        case kMessage:
            return QStringLiteral("m%1").arg(row.item->id);
        default:
            return QStringLiteral("s%1").arg(row.text);
    }
}

QString SearchResults::TopKey(int* offset) const {
    QListWidgetItem* top = itemAt(QPoint(1, 0));
    if (!top)
        return QString();
    *offset = visualItemRect(top).top();
    return KeyOf(rows_.at(row(top)));
}

void SearchResults::RestoreTop(const QString& key, int offset) {
    if (key.isEmpty())
        return;
    for (int i = 0; i < rows_.size(); ++i) {
        if (KeyOf(rows_.at(i)) != key)
            continue;
        executeDelayedItemsLayout();
        const int now = visualItemRect(item(i)).top();
        verticalScrollBar()->setValue(verticalScrollBar()->value() + now - offset);
        return;
    }
}

void SearchResults::CheckMoreWanted() {
    if (!more_ || rows_.isEmpty() || rows_.last().kind != kFooter)
        return;
    const QRect footer = visualItemRect(item(rows_.size() - 1));
    if (footer.top() < viewport()->height())
        emit more_wanted();
}

bool SearchResults::Selectable(int row) const {
    const Row* found = RowAt(row);
    return found &&
           (found->kind == kName || found->kind == kMessage || found->kind == kGroupHeader);
}

void SearchResults::Step(int delta) {
    int row = currentRow();
    do {
        row += delta;
    } while (row >= 0 && row < rows_.size() && !Selectable(row));
    if (!Selectable(row))
        return;
    setCurrentRow(row);
    scrollToItem(item(row));
}

bool SearchResults::ChooseCurrent() {
    int row = currentRow();
    if (!Selectable(row)) {
        row = 0;
        while (row < rows_.size() && !Selectable(row))
            ++row;
    }
    if (!Selectable(row))
        return false;
    setCurrentRow(row);
    OnClicked(item(row));
    return true;
}

void SearchResults::OnClicked(QListWidgetItem* list_item) {
    const Row* found = RowAt(row(list_item));
    if (!found || found->kind == kSection || found->kind == kFooter || found->kind == kEmpty)
        return;
    // Copies: a receiver may replace the results, and the records with them.
    const int other_id = found->other_id;
    const RowKind kind = found->kind;
    const QString name = kind == kGroupHeader ? found->text : found->item->other_name;
    const int id = kind == kMessage ? found->item->id : 0;
    if (kind == kMessage)
        emit message_chosen(other_id, name, id);
    else
        emit conversation_chosen(other_id, name, kind == kName);
}
