#include "ReplyStorer.h"

#include <QDebug>

#include "ConnectListStore.h"
#include "FreshMessages.h"
#include "MessageStore.h"
#include "SysMsgStore.h"
#include "base/SqlExec.h"

ReplyStorer::ReplyStorer(PollPosition* position, const QString& client_code)
    : position_(position), client_code_(client_code) {}

ReplyOutcome ReplyStorer::Store(const PollReply& reply) {
    outcome_ = ReplyOutcome();
    keep_new_rows_ = reply.messages.size() <= FreshMessages::kMaxReply;
    const PollPosition before = *position_;
    for (int bell_log_id : reply.bell_log_ids)
        position_->max_bell_log_id = bell_log_id;
    if (reply.max_num_update_log_id >= 0)
        position_->max_num_update_log_id = reply.max_num_update_log_id;

    const bool in_transaction = SqlExec::Begin();
    for (const PollReply::NumUpdate& update : reply.num_updates)
        SysMsgStore::ApplyNumUpdate(update);
    // New category counts change the system page and may change its total.
    if (!reply.num_updates.isEmpty())
        outcome_.sys_changed = true;
    StoreMessages(reply.messages);
    ApplyStatusLogs(reply.status_logs);
    if (!SysMsgStore::SavePosition(*position_))
        outcome_.store_failed = true;
    if (in_transaction && !SqlExec::Commit()) {
        // Nothing of this reply reached the file: ask for all of it again.
        qDebug().noquote() << "!!! MsgParse: poll reply not stored, commit failed";
        SqlExec::Rollback();
        *position_ = before;
        outcome_ = ReplyOutcome();
        outcome_.store_failed = true;
    }
    return outcome_;
}

void ReplyStorer::StoreMessages(const QList<MessageRecord>& messages) {
    if (messages.isEmpty())
        return;
    if (!order_.Load()) {
        outcome_.store_failed = true;
        return;
    }
    for (const MessageRecord& msg : messages) {
        // A message is stored whole or not at all, so that asking again for it works.
        const ReplyOutcome saved = outcome_;
        const ListOrder::Snapshot saved_order = order_.Save();
        if (!StoreMessage(msg)) {
            outcome_ = saved;
            outcome_.store_failed = true;
            order_.Restore(saved_order);
            break;
        }
    }
    if (!order_.Flush()) {
        outcome_.store_failed = true;
        LogDbError(QStringLiteral("UPDATE message_list SET message_order"));
    }
}

bool ReplyStorer::StoreMessage(const MessageRecord& msg) {
    int inserted_id = -1;
    // Only a message that carries this installation's code can be an echo of a local row.
    const bool own_echo =
        !client_code_.isEmpty() && msg.client_code == client_code_ && MessageStore::IsOwnEcho(msg);
    if (own_echo) {
        if (!MessageStore::UpdateOwnEcho(msg)) {
            LogDbError(MessageStore::UpdateEchoSql());
            return false;
        }
    } else if (MessageStore::HasMessageId(msg.message_id)) {
        return true;
    } else {
        SqlParams row;
        inserted_id = MessageStore::Insert(msg, &row);
        if (inserted_id == -1) {
            LogDbError(MessageStore::InsertSql());
            return false;
        }
        if (keep_new_rows_ && msg.other_id != 0) {
            row.insert(QStringLiteral("id"), inserted_id);
            outcome_.new_rows[msg.other_id].append(row);
        }
        if (msg.send_or_receive == 0) {
            outcome_.received_ids.append(msg.message_id);
        } else {
            AddOnce(&outcome_.new_other_ids, msg.other_id);
            outcome_.list_changed = true;
        }
    }
    if (msg.msg_type >= 3 && msg.msg_type <= 5)
        outcome_.downloads.append({msg.msg_type, msg.url});
    if (msg.send_or_receive == 0)
        AddOnce(&outcome_.new_other_ids, msg.other_id);
    if (msg.other_id == 0)
        AddSystemCategory(msg.other_id2);
    if (!UpdateList(msg)) {
        LogDbError(QStringLiteral("INSERT INTO message_list"));
        // Only a new conversation row can fail, and it fails whole: taking the message back
        // lets the next poll store both. (A savepoint per message would cost more than the
        // message itself on a large file.)
        if (inserted_id != -1)
            MessageStore::Delete(inserted_id);
        return false;
    }
    position_->max_message_id = msg.message_id;
    return true;
}

bool ReplyStorer::UpdateList(const MessageRecord& msg) {
    if (msg.other_id == 0 && !SysMsgStore::IsCounted(msg.other_id2))
        return true;
    bool created = false;
    if (!ConnectListStore::ApplyStored(msg, &order_, &outcome_.list_changed, &created))
        return false;
    if (created)
        outcome_.avatars.append(QString::number(msg.other_id));
    return true;
}

void ReplyStorer::ApplyStatusLogs(const QList<PollReply::StatusLog>& logs) {
    for (const PollReply::StatusLog& log : logs) {
        if (!ApplyStatusLog(log)) {
            outcome_.store_failed = true;
            return;
        }
    }
}

bool ReplyStorer::ApplyStatusLog(const PollReply::StatusLog& log) {
    const QVariantMap message_row = MessageStore::FindByMessageId(log.message_id);
    if (!message_row.isEmpty() && !MessageStore::SetIsRead(log.message_id, log.to_stat))
        return false;
    if (log.to_stat == 2 && log.send_id != 0) {
        if (!message_row.isEmpty() && message_row.value("user_id").toInt() == log.send_id)
            outcome_.read_marks.append({log.receive_id, log.message_id});
        const int other_id = ReadConversation(log, message_row);
        const QVariantMap conversation = ConnectListStore::Conversation(other_id);
        if (other_id != 0 && !conversation.isEmpty() && conversation.value("number").toInt() != 0) {
            // Read on another device.
            if (!ConnectListStore::SetNumber(other_id, 0))
                return false;
            outcome_.list_changed = true;
        }
    }
    position_->max_message_log_id = log.message_log_id;
    if (log.log_type == 3 && log.message_id != 0)
        RefreshSystemEntry(message_row);
    UpdateSystemTotal();
    return true;
}

int ReplyStorer::ReadConversation(const PollReply::StatusLog& log, const QVariantMap& message_row) {
    // A group message read is the group's conversation, and only when the message was received:
    // a member reading one's own message leaves one's unread number in the group alone. The
    // sender's conversation would be the wrong one to clear.
    if (log.receive_id < 0) {
        const bool received =
            !message_row.isEmpty() && message_row.value("send_or_receive").toInt() == 0;
        return received ? log.receive_id : 0;
    }
    return log.send_id;
}

void ReplyStorer::RefreshSystemEntry(const QVariantMap& message_row) {
    if (message_row.isEmpty() || message_row.value("other_id").toInt() != 0)
        return;
    const int remind_id = message_row.value("other_id2").toInt();
    if (SysMsgStore::Category(remind_id).value("num").toInt() > 0)
        AddSystemCategory(remind_id);
    const QVariantMap system_row = ConnectListStore::SystemRow();
    if (system_row.isEmpty())
        return;
    const int total = SysMsgStore::CountedTotal();
    const QVariantMap latest = SysMsgStore::LatestUnreadMessage();
    if (latest.isEmpty()) {
        // Nothing unread is left to show: only the number changes.
        ConnectListStore::SetNumber(0, total);
    } else {
        ConnectListStore::RewriteSystemRow(system_row, latest, total);
    }
    outcome_.list_changed = true;
}

void ReplyStorer::UpdateSystemTotal() {
    const QVariantMap system_row = ConnectListStore::SystemRow();
    if (system_row.isEmpty())
        return;
    const int total = SysMsgStore::CountedTotal();
    // The same number again is no change: every read receipt comes back as a status log, and
    // the system page would be built anew for each.
    if (system_row.value(QStringLiteral("number")).toInt() == total)
        return;
    ConnectListStore::SetNumber(0, total);
    outcome_.sys_changed = true;
}

void ReplyStorer::AddSystemCategory(int remind_id) {
    outcome_.sys_remind_ids.removeAll(remind_id);
    outcome_.sys_remind_ids.append(remind_id);
}

void ReplyStorer::AddOnce(QList<int>* list, int value) {
    if (!list->contains(value))
        list->append(value);
}

void ReplyStorer::LogDbError(const QString& sql) {
    qDebug().noquote() << "HeartMsg ::::::::: ::::::::: ::::::::: DB error" << sql;
}
