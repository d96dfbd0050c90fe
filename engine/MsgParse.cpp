#include "MsgParse.h"

#include <QDateTime>
#include <QDebug>
#include <QMetaMethod>

#include "ConnectListStore.h"
#include "FreshMessages.h"
#include "GroupInfoStore.h"
#include "MessageStore.h"
#include "PollReplyReader.h"
#include "ReplyStorer.h"
#include "SearchIndex.h"
#include "SearchIndexBuilder.h"
#include "SysMsgStore.h"
#include "WalCheckpoint.h"
#include "base/BackgroundDbCheck.h"
#include "base/ConnectionPool.h"
#include "base/SqlExec.h"

namespace {

bool IsFileType(int msg_type) {
    return msg_type == 2 || msg_type == 3 || msg_type == 5;
}

}  // namespace

// The account is copied here, on the thread that signed in, before any worker thread runs.
MsgParse::MsgParse(QObject* parent)
    : QObject(parent),
      account_(Account::GetAccountInfo(Account::CurUserId())),
      client_code_(Account::DeviceId()) {}

MsgParse::~MsgParse() {
    qDebug() << "MsgParse::~MsgParse";
}

void MsgParse::OnStart() {
    WalCheckpoint::DeferAutomatic();
    widget_timer_ = new QTimer(this);
    widget_timer_->setSingleShot(true);
    widget_timer_->setInterval(kWidgetDelayMs);
    connect(widget_timer_, &QTimer::timeout, this, &MsgParse::FlushWidgets);
    StartSearchIndex();
    if (!Account::MsgDbReadWhole()) {
        auto* check =
            new BackgroundDbCheck(ConnectionPool::Instance()->Config().database_name, this);
        check->Start();
    }
    position_ = SysMsgStore::LoadPosition(client_code_);
    SendConnectList(true);
    SendSysList();
    // The unread total of earlier sessions shows at once, not with the first news.
    emit update_msg_count_to_bubble_on_main_wid(ConnectListStore::UnreadTotal());
    emit req_heart_msg(position_.ToList());
}

// Stored messages join the index as they are stored; what was stored before is indexed between
// polls.
void MsgParse::StartSearchIndex() {
    if (!SearchIndex::Install()) {
        qDebug().noquote() << "!!! MsgParse: no search index, searches read the messages";
        return;
    }
    index_builder_ = new SearchIndexBuilder(this);
    index_builder_->Start();
}

void MsgParse::OnHeartBeatMsgToParse(QString data) {
    const PollReply reply = PollReplyReader(account_).Read(data);
    ReplyStorer storer(&position_, client_code_);
    const ReplyOutcome outcome = storer.Store(reply);
    SendFresh(outcome);
    // After the open page has its records: one statement for the whole reply, in a transaction
    // of its own. Rows it misses are searched without the index until the next reply takes them.
    if (!SearchIndex::CatchUp())
        qDebug().noquote() << "!!! MsgParse: messages not added to the search index";
    EmitOutcome(outcome);
    if (index_builder_ && !reply.IsEmpty())
        index_builder_->MakeWay();
    emit reply_stored(!outcome.store_failed);
    emit req_heart_msg(position_.ToList());
    if (reply.IsEmpty())
        WalCheckpoint::RunPassive();
}

void MsgParse::connectNotify(const QMetaMethod& signal) {
    if (signal == QMetaMethod::fromSignal(&MsgParse::fresh_msgs_stored))
        ++fresh_receivers_;
}

void MsgParse::disconnectNotify(const QMetaMethod& signal) {
    // Undoing every connection at once names no signal.
    if (!signal.isValid())
        recount_receivers_ = true;
    else if (signal == QMetaMethod::fromSignal(&MsgParse::fresh_msgs_stored))
        --fresh_receivers_;
}

void MsgParse::SendFresh(const ReplyOutcome& outcome) {
    if (recount_receivers_.exchange(false))
        fresh_receivers_ =
            isSignalConnected(QMetaMethod::fromSignal(&MsgParse::fresh_msgs_stored)) ? 1 : 0;
    // The records belong to the receiver: none are made for nobody.
    if (fresh_receivers_ <= 0)
        return;
    for (auto it = outcome.new_rows.constBegin(); it != outcome.new_rows.constEnd(); ++it) {
        int previous_id = 0;
        const MessageItemInfoPointers fresh =
            FreshMessages::Read(it.key(), it.value(), &previous_id);
        if (!fresh.isEmpty())
            emit fresh_msgs_stored(previous_id, fresh);
    }
}

void MsgParse::EmitOutcome(const ReplyOutcome& outcome) {
    // The open pages at once; the lists, the tray and the counts follow in FlushWidgets.
    if (!outcome.new_other_ids.isEmpty())
        emit update_msg_page_ui(outcome.new_other_ids);
    for (const auto& download : outcome.downloads)
        emit download_resource(download.first, download.second);
    for (const QString& other_id : outcome.avatars)
        emit req_avatar(other_id);
    for (const auto& mark : outcome.read_marks)
        emit update_msg_is_read(mark.first, mark.second);
    if (!outcome.received_ids.isEmpty())
        emit msgs_has_receive(1, outcome.received_ids);
    const bool reminded = !outcome.sys_remind_ids.isEmpty();
    pending_.list |= outcome.list_changed;
    pending_.tray |= reminded || !outcome.received_ids.isEmpty();
    pending_.sys_list |= reminded || outcome.sys_changed;
    pending_.sys_count |= outcome.sys_changed;
    pending_.unread_total = true;
    if (!widget_timer_)
        FlushWidgets();
    else if (!widget_timer_->isActive())
        widget_timer_->start();
}

void MsgParse::FlushWidgets() {
    if (widget_timer_)
        widget_timer_->stop();
    const PendingWidgets pending = pending_;
    pending_ = PendingWidgets();
    if (pending.list)
        SendConnectList(false);
    if (pending.tray)
        NotifyTray();
    if (pending.sys_list)
        SendSysList();
    if (pending.sys_count)
        emit fix_sys_msg_count_ui(ConnectListStore::SystemNumber());
    if (pending.unread_total)
        emit update_msg_count_to_bubble_on_main_wid(ConnectListStore::UnreadTotal());
}

void MsgParse::SendConnectList(bool first) {
    // Whatever waited is in this one.
    pending_.list = false;
    const ConnectListItemInfoPointers list = ConnectListStore::Build(first);
    if (list.isEmpty())
        return;
    if (first) {
        for (const ConnectListItemInfo* item : list)
            emit req_avatar(QString::number(item->other_id));
    }
    emit update_connect_list_ui(list);
}

void MsgParse::SendSysList() {
    const MessageSysItemInfoPointers list = SysMsgStore::BuildList();
    if (!list.isEmpty())
        emit msgs_sys_has_receive(list);
}

void MsgParse::NotifyTray() {
    const int total = ConnectListStore::UnreadTotal();
    if (total != 0)
        emit notify_tray(ConnectListStore::TopUnreadOtherId(), total);
}

void MsgParse::OnUpdateDBGroupInfo(QStringList infos) {
    const bool in_transaction = SqlExec::Begin();
    GroupInfoStore::Save(infos);
    if (in_transaction)
        SqlExec::Commit();
}

void MsgParse::OnMsgSend(int other_id, QString other_name, int msg_type, int tmp_msg_id,
                         QString content_or_local_url) {
    const int id = StoreOwnMessage(other_id, other_name, msg_type, content_or_local_url);
    if (id == -1) {
        qDebug().noquote() << "!!! MsgParse::OnMsgSend: message not stored";
        return;
    }
    tmp_msg_ids_.insert(id, tmp_msg_id);
    SendConnectList(false);
    emit req_send_msg(other_id, other_name, id, msg_type, content_or_local_url);
    emit update_to_id(other_id, id);
}

int MsgParse::StoreOwnMessage(int other_id, const QString& other_name, int msg_type,
                              const QString& content_or_local_url) {
    MessageRecord msg;
    const bool file = IsFileType(msg_type);
    msg.content = file ? QString() : content_or_local_url;
    msg.url = file ? content_or_local_url : QString();
    msg.other_id = other_id;
    msg.other_name = other_name;
    msg.client_message_id = -1;
    msg.send_or_receive = 1;
    msg.is_send = -1;
    msg.message_id = -1;
    msg.user_id = account_.value(QStringLiteral("User_ID")).toInt();
    msg.user_name = account_.value(QStringLiteral("UserName"));
    msg.unit_id = account_.value(QStringLiteral("Unit_ID")).toInt();
    msg.send_date = QDateTime::currentDateTime();
    msg.msg_type = msg_type;
    msg.client_code = client_code_;

    const bool in_transaction = SqlExec::Begin();
    const int id = MessageStore::Insert(msg);
    const bool stored = id != -1 && MessageStore::SetClientMessageId(id);
    if (stored) {
        MoveConversationToTop(id);
        SearchIndex::CatchUp();
    }
    if (!in_transaction)
        return stored ? id : -1;
    if (stored && SqlExec::Commit())
        return id;
    SqlExec::Rollback();
    return -1;
}

// The message is kept and sent even when its conversation row cannot be written: the row is
// written again when the server echoes the message. A half-moved list is taken back whole.
void MsgParse::MoveConversationToTop(int id) {
    SqlExec::Update(QStringLiteral("SAVEPOINT own_message_list"));
    if (!ConnectListStore::ApplySent(MessageStore::Row(id))) {
        qDebug().noquote() << "!!! MsgParse::OnMsgSend: conversation row not written";
        SqlExec::Update(QStringLiteral("ROLLBACK TO own_message_list"));
    }
    SqlExec::Update(QStringLiteral("RELEASE own_message_list"));
}

void MsgParse::OnMsgReSend(int client_msg_id, int other_id, QString other_name, int msg_type,
                           int tmp_msg_id, QString content_or_local_url) {
    if (!MessageStore::Row(client_msg_id).isEmpty())
        MessageStore::Delete(client_msg_id);
    OnMsgSend(other_id, other_name, msg_type, tmp_msg_id, content_or_local_url);
}

void MsgParse::OnMsgSendReback(int client_msg_id, int state, QString err_msg_or_msg_id) {
    const QVariantMap row = MessageStore::Row(client_msg_id);
    if (row.isEmpty())
        return;
    const int tmp_msg_id = tmp_msg_ids_.take(client_msg_id);
    if (MessageStore::SetSendState(client_msg_id, state, err_msg_or_msg_id)) {
        emit update_msg_send_reback_state(row.value("other_id").toInt(), tmp_msg_id, state,
                                          err_msg_or_msg_id);
    }
}
