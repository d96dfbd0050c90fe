#pragma once

#include <QObject>
#include <QVector>
#include <functional>

#include "engine/ConnectListItemInfo.h"

class AvatarCache;
class ConnectMsgListItem;
class QListWidget;

// The rows of the conversation list: the list widget keeps one plain item per conversation
// (selection, scrolling, keys), this keeps their records, and only the rows in view have a row
// widget. A history of a thousand conversations would otherwise keep a thousand styled widgets
// alive, several times the memory of everything else in the window. The widgets are children
// of the list's viewport placed over their rows, as item widgets are, and refilled as the list
// scrolls; row r is always shown by the same widget of the pool while it stays in view.
class ConnectListRows : public QObject {
    Q_OBJECT
public:
    using Title = std::function<QString(const ConnectListItemInfo&)>;

    // `list` and `avatars` outlive this; `title` names a row.
    ConnectListRows(QListWidget* list, AvatarCache* avatars, Title title);

    // Takes copies of the records (the caller frees them) and makes the list hold as many items.
    void Set(const ConnectListItemInfoPointers& records);
    int Count() const { return records_.size(); }
    const ConnectListItemInfo& At(int row) const { return records_.at(row); }
    // The row of a conversation, or -1.
    int IndexOf(int other_id) const;
    void SetUnread(int row, int number);

    // The widget that shows `row`, or nullptr while the row is out of view.
    ConnectMsgListItem* Widget(int row) const;
    // The widget that shows the conversation, or nullptr while it is out of view.
    ConnectMsgListItem* WidgetOf(int other_id) const;
    // Places and refills the widgets for the rows in view; after anything that changes them.
    void Sync();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ResizeItems(int count);
    // As many widgets as rows fit into the viewport, and one more for a row cut at each end.
    void GrowPool(int size);

    QListWidget* list_;
    QWidget* viewport_;
    AvatarCache* avatars_;
    Title title_;
    QVector<ConnectListItemInfo> records_;
    QVector<ConnectMsgListItem*> pool_;
    // The row each widget of the pool shows, -1 for none.
    QVector<int> shown_rows_;
};
