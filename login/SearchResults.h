#pragma once

#include <QList>
#include <QListWidget>
#include <QString>
#include <QVector>

#include "engine/MsgSearchItemInfo.h"

class AvatarCache;

// The results of a search in place of the conversation list: the conversations and contacts
// whose name matched, then the messages grouped by conversation, each under a header. The
// records shown belong to this list and are freed when they are replaced. Rows are drawn by
// SearchResultDelegate; when the last row comes into view and more messages may follow,
// more_wanted asks for them.
class SearchResults : public QListWidget {
    Q_OBJECT
public:
    enum RowKind { kSection, kName, kGroupHeader, kMessage, kFooter, kEmpty };

    struct Row {
        RowKind kind = kSection;
        // The record of a name or a message row.
        const MsgSearchItemInfo* item = nullptr;
        // The conversation of a header, name or message row.
        int other_id = 0;
        QString text;
        // Lines of a message's excerpt.
        int lines = 1;
    };

    explicit SearchResults(AvatarCache* avatars, QWidget* parent = nullptr);
    ~SearchResults() override;

    // Shows the first page of results for `query`; takes the records.
    void Show(const QString& query, const MsgSearchItemInfoPointers& items, bool more);
    // Adds a further page of messages, merged into the groups shown; takes the records.
    void AddMore(const MsgSearchItemInfoPointers& items, bool more);
    // Frees every record and shows nothing.
    void Clear();
    bool HasMore() const { return more_; }
    const Row* RowAt(int row) const;
    AvatarCache* Avatars() const { return avatars_; }
    // Moves the current row to the next (+1) or previous (-1) result.
    void Step(int delta);
    // Acts as a click on the current result, or on the first one; false when there is none.
    bool ChooseCurrent();

signals:
    void more_wanted();
    void message_chosen(int other_id, QString other_name, int id);
    // A name result (`leave` true: the search is done) or a group's header.
    void conversation_chosen(int other_id, QString other_name, bool leave);

protected:
    // Excerpts wrap at the width: a new width lays the rows out again.
    void resizeEvent(QResizeEvent* event) override;

private:
    struct Group {
        int other_id = 0;
        QString name;
        MsgSearchItemInfoPointers items;
    };

    void AddMessages(const MsgSearchItemInfoPointers& items);
    void Rebuild();
    void AddRow(Row row);
    int RowHeight(const Row& row) const;
    // The first row at the top of the view and how far it is scrolled out, to keep it in
    // place across a rebuild.
    QString TopKey(int* offset) const;
    QString KeyOf(const Row& row) const;
    void RestoreTop(const QString& key, int offset);
    void OnClicked(QListWidgetItem* item);
    bool Selectable(int row) const;
    void CheckMoreWanted();

    AvatarCache* avatars_;
    QString query_;
    MsgSearchItemInfoPointers names_;
    QList<Group> groups_;
    QVector<Row> rows_;
    bool more_ = false;
    bool has_results_ = false;
};
