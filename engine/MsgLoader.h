#pragma once

#include <QList>
#include <QMap>
#include <QObject>
#include <QVariantMap>

#include "MessageItemInfo.h"

// Reads pages of one conversation for the conversation pages: the newest 40 messages, the 40
// before the oldest one shown, and the messages after the last one delivered. A page opened at
// a message (a search result) gets the messages around it and then pages both ways: older with
// OnUpdateMsgPage, newer with OnLoadNewer until has_newer is false.
class MsgLoader : public QObject {
    Q_OBJECT
public:
    static constexpr int kPageSize = 40;

    explicit MsgLoader(QObject* parent = nullptr);
    ~MsgLoader() override;

    static MessageItemInfo* ItemFromRow(const QVariantMap& row);
    static MessageItemInfoPointers Items(const QList<QVariantMap>& rows);

signals:
    void msg_load_ready(MessageItemInfoPointers messages);
    void msg_null_load_ready(int other_id);
    // The page around message `id`, ascending; empty when the conversation has no such row.
    void msg_around_ready(int other_id, int id, MessageItemInfoPointers messages, bool has_older,
                          bool has_newer);
    void msg_newer_ready(int other_id, MessageItemInfoPointers messages, bool has_newer);

public slots:
    void OnStart();
    // to_id 0: the newest page; otherwise the page before from_id.
    void OnUpdateMsgPage(int other_id, int from_id, int to_id);
    void OnNewMsgComming(QList<int> new_other_ids);
    void OnUpdateToId(int other_id, int client_message_id);
    // Up to kPageSize / 2 messages before `id`, the message, and up to kPageSize / 2 after it.
    void OnLoadAround(int other_id, int id);
    // Up to kPageSize messages after `after_id`.
    void OnLoadNewer(int other_id, int after_id);

private:
    static bool HasMessages(int other_id);
    // Rows of the conversation after `id`, ascending; *has_more when `limit` left some out.
    static QList<QVariantMap> RowsAfter(int other_id, int id, int limit, bool* has_more);
    // A page that reached the newest row: new messages are delivered after it from now on.
    void NoteNewestDelivered(int other_id, int id);
    // Hands non-empty rows of one conversation to the pages.
    void Deliver(const QList<QVariantMap>& rows);

    // other_id -> the largest row id delivered so far.
    QMap<int, int> last_ids_;
};
