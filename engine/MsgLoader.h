#pragma once

#include <QList>
#include <QMap>
#include <QObject>
#include <QVariantMap>

#include "MessageItemInfo.h"

// Reads pages of one conversation for the conversation pages: the newest 40 messages, the 40
// before the oldest one shown, and the messages after the last one delivered.
class MsgLoader : public QObject {
    Q_OBJECT
public:
    static constexpr int kPageSize = 40;

    explicit MsgLoader(QObject* parent = nullptr);
    ~MsgLoader() override;

    static MessageItemInfo* ItemFromRow(const QVariantMap& row);

signals:
    void msg_load_ready(MessageItemInfoPointers messages);
    void msg_null_load_ready(int other_id);

public slots:
    void OnStart();
    // to_id 0: the newest page; otherwise the page before from_id.
    void OnUpdateMsgPage(int other_id, int from_id, int to_id);
    void OnNewMsgComming(QList<int> new_other_ids);
    void OnUpdateToId(int other_id, int client_message_id);

private:
    static MessageItemInfoPointers Items(const QList<QVariantMap>& rows);
    static bool HasMessages(int other_id);

    // other_id -> the largest row id delivered so far.
    QMap<int, int> last_ids_;
};
