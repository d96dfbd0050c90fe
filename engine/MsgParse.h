#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <atomic>

#include "ConnectListItemInfo.h"
#include "MessageItemInfo.h"
#include "MessageSysItemInfo.h"
#include "PollPosition.h"
#include "ReplyOutcome.h"
#include "base/Account.h"

// Owns the local message store of the signed-in user: stores every poll reply and asks for the
// next poll, stores messages written here before they are sent, and tells the widgets and the
// other workers what changed.
class SearchIndexBuilder;

class MsgParse : public QObject {
    Q_OBJECT
public:
    explicit MsgParse(QObject* parent = nullptr);
    ~MsgParse() override;

    const PollPosition& Position() const { return position_; }

    // After a poll reply the open pages are told at once; the lists, the tray and the unread
    // counts wait this long: a burst of replies (catching up after a login) builds them once,
    // and an open page shows its new message before the window is busy with the rest. The
    // user's own messages move the list at once.
    static constexpr int kWidgetDelayMs = 50;
    // Tells the widgets now what waits for them, if anything does.
    void FlushWidgets();

signals:
    void req_heart_msg(QList<int> msg_ids);
    void update_connect_list_ui(ConnectListItemInfoPointers connects);
    void download_resource(int msg_type, QString url);
    void update_msg_page_ui(QList<int> new_other_ids);
    // Messages a short reply has just stored in one conversation, and the row before them, for
    // its open page; the loader follows with update_msg_page_ui as always.
    void fresh_msgs_stored(int previous_id, MessageItemInfoPointers messages);
    void msgs_has_receive(int read_or_receive, QList<int> message_ids);
    void req_avatar(QString other_id);
    void msgs_sys_has_receive(MessageSysItemInfoPointers sys_msgs);
    void req_send_msg(int other_id, QString other_name, int client_message_id, int msg_type,
                      QString content_or_file_local_url);
    void update_msg_send_reback_state(int other_id, int tmp_msg_id, int state,
                                      QString err_msg_or_msg_id);
    void update_msg_is_read(int other_id, int message_id);
    void update_msg_count_to_bubble_on_main_wid(int count);
    void update_to_id(int other_id, int client_message_id);
    void notify_tray(int other_id, int nums);
    void fix_sys_msg_count_ui(int count);
    // After each poll reply, before the next poll is asked for: false when some of it could not
    // be written (a full disk, a damaged file); it is asked for again.
    void reply_stored(bool stored);

public slots:
    void OnStart();
    void OnHeartBeatMsgToParse(QString data);
    void OnUpdateDBGroupInfo(QStringList infos);
    void OnMsgSend(int other_id, QString other_name, int msg_type, int tmp_msg_id,
                   QString content_or_local_url);
    void OnMsgReSend(int client_msg_id, int other_id, QString other_name, int msg_type,
                     int tmp_msg_id, QString content_or_local_url);
    void OnMsgSendReback(int client_msg_id, int state, QString err_msg_or_msg_id);

protected:
    // Counts the receivers of fresh_msgs_stored. Asking Qt on every reply takes a lock that the
    // heartbeat thread holds while it hands over the same reply, so the parser would wait on it.
    void connectNotify(const QMetaMethod& signal) override;
    void disconnectNotify(const QMetaMethod& signal) override;

private:
    void StartSearchIndex();
    void EmitOutcome(const ReplyOutcome& outcome);
    void SendFresh(const ReplyOutcome& outcome);
    void SendConnectList(bool first);
    void SendSysList();
    void NotifyTray();
    // The new row id, or -1.
    int StoreOwnMessage(int other_id, const QString& other_name, int msg_type,
                        const QString& content_or_local_url);
    void MoveConversationToTop(int id);

    PollPosition position_;
    // What the widgets have yet to be told.
    struct PendingWidgets {
        bool list = false;
        bool tray = false;
        bool sys_list = false;
        bool sys_count = false;
        bool unread_total = false;
    };
    PendingWidgets pending_;
    QTimer* widget_timer_ = nullptr;
    // Connections are made and undone on other threads.
    std::atomic<int> fresh_receivers_{0};
    std::atomic<bool> recount_receivers_{false};
    SearchIndexBuilder* index_builder_ = nullptr;
    AccountMap account_;
    QString client_code_;
    // client_message_id -> the page's temporary number of the bubble.
    QHash<int, int> tmp_msg_ids_;
};
