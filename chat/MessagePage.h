#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QWidget>

#include "engine/MessageItemInfo.h"

#include "Bubble.h"

class ChatView;
class EmojiWid;
class InputView;
class QLabel;
class QListWidgetItem;
class QPushButton;

// One conversation: title, the list of bubbles, the tool row (emoji, file, screenshot), the
// editor and the send button. Records come in from the page manager; what the user sends goes
// out as signals. It never talks to the network or the database itself.
class MessagePage : public QWidget {
    Q_OBJECT
public:
    static constexpr int kOlderPageScrollValue = 666;

    explicit MessagePage(int other_id, QWidget* parent = nullptr);
    ~MessagePage() override;

    int OtherId() const { return other_id_; }
    ChatView* View() const { return chat_view_; }
    InputView* Input() const { return input_view_; }
    QPushButton* SendButton() const { return send_btn_; }
    // The other side's name, also the name sent with each message.
    QString Title() const { return title_; }
    void SetTitle(const QString& title);
    // No bubble yet, neither stored nor sent from here.
    bool IsEmpty() const;
    int MinId() const { return min_id_; }
    int MaxId() const { return max_id_; }

    // A page of records in ascending local id order: appended, or placed above the others
    // when older than what is shown. `on_screen`: this conversation is the one looked at.
    void Fill(const MessageItemInfoPointers& records, bool on_screen);
    // Records just stored, with the stored row before them: shown only when that row is the
    // last one shown, so that none the loader has yet to deliver is passed over.
    void FillFresh(int previous_id, const MessageItemInfoPointers& records, bool on_screen);
    // The answer to a send: 0 failed, 1 sent (with the server's message id), other values as
    // they are.
    void UpdateSendState(int tmp_msg_id, int state, const QString& err_msg_or_msg_id);
    void MarkRead(int message_id);
    // The attachment of server reference `reference` is on disk now: its bubbles show it.
    void ShowAttachment(int msg_type, const QString& reference, const QString& local_path);
    void ScrollToBottom();
    // Sends a failed bubble again as a new bubble at the bottom; the old row goes away.
    void ReSend(QListWidgetItem* row);
    // The engine stored a message sent from this page as row `client_message_id`: the oldest
    // bubble still waiting for it (same kind and content) keeps that row for a re-send.
    void TakeClientId(int client_message_id, int msg_type, const QString& content);
    // A sent bubble without an answer after this long shows as failed.
    void SetSendTimeout(int ms) { send_timeout_ms_ = ms; }

    // Opened at a search result: shows `records` (ascending) in place of what was shown, with
    // stored message `id` in the middle and marked. While `has_newer`, the page does not reach
    // the newest message: scrolling to the bottom asks for the next newer page, and new
    // messages wait for it.
    void FillAround(const MessageItemInfoPointers& records, int id, bool has_newer);
    // The next newer page after the last record shown.
    void AppendNewer(const MessageItemInfoPointers& records, bool has_newer);
    bool HasNewer() const { return has_newer_; }
    // Marks stored message `id` when it is shown; false when it is not.
    bool ShowMessage(int id);
    // Drops every bubble: the next Fill starts the page again.
    void Reset();

signals:
    void scroll_to_top(int other_id, int from_id, int to_id);
    void send_msg(int other_id, QString other_name, int msg_type, int tmp_msg_id,
                  QString content_or_local_url);
    void re_send_msg(int client_msg_id, int other_id, QString other_name, int msg_type,
                     int tmp_msg_id, QString content_or_local_url);
    void send_file(QString file_path);
    void receive_msg_on_chat(int other_id);
    // Scrolled to the bottom of a page that does not reach the newest message.
    void scroll_to_bottom(int other_id, int after_id);

public slots:
    void OnSendClicked();
    // Ctrl+V and a finished screenshot: pictures and videos are sent at once, anything else
    // goes into the editor.
    void OnPaste();
    void OnSendFile(const QString& file_path);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void SetupUI();
    QWidget* BuildTitle();
    QWidget* BuildTopTip();
    QWidget* BuildTools();
    QWidget* BuildSendRow();
    void ConnectSignals();

    void Append(const MessageItemInfoPointers& records);
    void InsertOlder(const MessageItemInfoPointers& records);
    void TakeTitleFrom(const MessageItemInfo& record);
    void SkipSentFromHere(MessageItemInfoPointers* records);
    bool KeyPressed(QKeyEvent* event);
    void OnScrolled(int value);
    // At the bottom of a page that does not reach the newest message: asks for the next.
    void AskNewerAtBottom();
    void OnEmojiButton();
    void OnFilesButton();
    void OnScreenShot();
    void ShowTip(const QString& text);

    // Appends one's own bubble for a message about to be sent; its temporary id is the next
    // value of the counter.
    void AddOwnBubble(Bubble bubble);
    // Adds a separator to `bubbles` when `date` starts a day after the newest bubble's.
    void AddSeparatorIfNewDay(const QDateTime& date, QList<Bubble>* bubbles);
    void SendImage(const QString& path);
    void SendVideo(const QString& path);
    // The row of one's own bubble with this temporary id (or, for 0, this message id); -1.
    int FindOwn(int tmp_msg_id, int message_id) const;
    // Sending from a page opened back in the history: the page starts again at the newest
    // messages, and what is sent meanwhile stays below them.
    void ReturnToNewest();
    void AppendAboveSentFromHere(const MessageItemInfoPointers& records);

    int other_id_;
    QString title_;
    bool title_set_ = false;
    bool has_records_ = false;
    int min_id_ = 0;
    int max_id_ = 0;
    // The day of the newest bubble and of the oldest record shown.
    QDateTime last_date_;
    QDateTime first_date_;
    int counter_ = 0;
    int send_timeout_ms_ = 30000;
    bool has_newer_ = false;
    bool newer_asked_ = false;
    bool returning_to_newest_ = false;
    const QStringList image_suffixes_{"jpg", "jpeg", "png"};
    const QStringList video_suffixes_{"mkv", "flv", "avi", "mp4"};

    QLabel* title_name_lab_ = nullptr;
    QLabel* top_tip_lab_ = nullptr;
    QPushButton* top_tip_close_btn_ = nullptr;
    QWidget* top_tip_ = nullptr;
    ChatView* chat_view_ = nullptr;
    QPushButton* emoji_btn_ = nullptr;
    QPushButton* files_btn_ = nullptr;
    QPushButton* screen_shot_btn_ = nullptr;
    InputView* input_view_ = nullptr;
    QPushButton* send_btn_ = nullptr;
    EmojiWid* emoji_wid_ = nullptr;
};
