#pragma once

#include <QHash>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QString>

#include "DownloadRegistry.h"
#include "engine/MessageItemInfo.h"
#include "engine/MessageSysItemInfo.h"

class ExternalLink;
class MessagePage;
class MessagePageSys;
class QFrame;
class QStackedWidget;
class QThread;
class QWidget;

// The right-hand side of the message page: one page per opened conversation in a stack, the
// system-message page at index 0. Routes what the engine sends back to the right page and
// passes the pages' requests on as its own signals. Record lists it receives are its own: each
// is freed here once it has been shown.
class MessagePageMgr : public QObject {
    Q_OBJECT
public:
    explicit MessagePageMgr(QObject* parent = nullptr);
    ~MessagePageMgr() override;

    // The frame holding the stack, for the main window's layout.
    QFrame* Frame() const;
    MessagePage* Page(int other_id) const;
    MessagePageSys* SysPage() const { return sys_page_; }
    ExternalLink* Links() const { return external_link_; }
    QWidget* CurrentWidget() const;
    // The conversation opened last; kNone before the first.
    int CurrentId() const { return current_id_; }
    DownloadRegistry& Downloads() { return downloads_; }

    static constexpr int kNone = -0x7fffffff;

signals:
    void update_msg_page(int other_id, int from_id, int to_id);
    void download_and_play_resource(int msg_type, QString url);
    void download_and_open_resource_send_by_myself(int msg_type, QString url);
    // Fetches an attachment without opening it.
    void download_resource(int msg_type, QString url);
    void update_isread_state(int other_id);
    void quit_external_link_thread();
    void send_msg(int other_id, QString other_name, int msg_type, int tmp_msg_id,
                  QString content_or_local_url);
    void re_send_msg(int client_msg_id, int other_id, QString other_name, int msg_type,
                     int tmp_msg_id, QString content_or_local_url);
    // A bubble shows a sender whose picture is not in the avatar folder.
    void req_avatar(QString other_id);
    // A page opened at a search result asks for the messages around it, then for newer ones.
    void load_around(int other_id, int id);
    void load_newer(int other_id, int after_id);

public slots:
    void OnConnectItemChanged(int other_id, QString other_name);
    void OnMsgPageDataReady(MessageItemInfoPointers messages);
    void OnMsgPageNullData(int other_id);
    // Messages just stored, straight from the parser; `previous_id` is the row before them.
    void OnFreshMessages(int previous_id, MessageItemInfoPointers messages);
    void OnUpdateDownloadPercent(QHash<QString, QString> message_id_percent);
    void OnUpdateMsgSysPage(MessageSysItemInfoPointers messages);
    void OnUpdateMsgStateReback(int other_id, int tmp_msg_id, int state, QString err_msg_or_msg_id);
    void OnUpdateMsgIsRead(int other_id, int message_id);
    void OnDownloadResSendByMyselfReback(QString message);
    // An image, voice or video arrived on disk: the bubbles showing it are redrawn.
    void OnResourceDownloaded(int msg_type, QString reference, QString local_path);
    // A message sent from a page was stored with its row id (the id a re-send replaces).
    void OnOwnMessageStored(int other_id, QString other_name, int client_message_id, int msg_type,
                            QString content_or_local_url);
    // A search result was clicked: its conversation opens at stored message `id`.
    void OnOpenAtMessage(int other_id, QString other_name, int id);
    void OnMsgAroundReady(int other_id, int id, MessageItemInfoPointers messages, bool has_older,
                          bool has_newer);
    void OnMsgNewerReady(int other_id, MessageItemInfoPointers messages, bool has_newer);
    // The main window's player plays the voice at `path` now; empty: it stopped.
    void OnVoicePlaying(QString path);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateLinkThread();
    void OpenLink(const QString& link);
    void SayNotOnPc();
    MessagePage* CreatePage(int other_id);
    // The page counts as looked at: it is the current one and the window shows it.
    bool OnScreen(int other_id) const;
    // Watches the window the frame stands in for being restored from minimised.
    void WatchWindow();
    void ReadShownPage();
    // Makes the page of `other_id` (created when missing) the current one.
    MessagePage* ShowPage(int other_id, const QString& other_name);

    QPointer<QFrame> frame_;
    QPointer<QWidget> window_;
    QStackedWidget* stack_ = nullptr;
    MessagePageSys* sys_page_ = nullptr;
    QHash<int, int> page_indexes_;
    QMap<int, QString> names_;
    // other_id -> the message its page was last asked to open at; older answers are dropped.
    QHash<int, int> anchors_;
    int current_id_ = kNone;
    DownloadRegistry downloads_;
    QString playing_voice_;
    ExternalLink* external_link_ = nullptr;
    QThread* link_thread_ = nullptr;
};
