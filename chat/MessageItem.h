#pragma once

#include <QString>
#include <QWidget>

#include "Bubble.h"

class ChatView;
class MsgFileItem;
class QFrame;
class QLabel;
class QListWidgetItem;
class QTimer;

// The widget of one conversation row: a bubble with avatar, content and send state, or the
// centred day separator, made from the row's Bubble.
class MessageItem : public QWidget {
    Q_OBJECT
public:
    // `row`: the list row the widget stands in, handed on when the bubble asks for a re-send.
    MessageItem(const Bubble& bubble, ChatView* list, QListWidgetItem* row = nullptr);
    ~MessageItem() override;

    QListWidgetItem* Row() const { return row_; }
    // Once styled: a text bubble takes the width of its longest line, up to its maximum.
    void FitContent();
    // The height the row needs at `width`.
    int RowHeight(int width);
    // The sender's picture from the avatar folder; a missing one is looked for once more, 3 s
    // later, when the avatar downloader has had time to store it.
    void SetSenderAvatar(int sender_id, const QString& name);
    // -1 failed, 0 or 1 unread, 2 read, anything else hidden.
    void SetState(int state);
    // The name above a received bubble of a group conversation.
    void SetSenderName(const QString& name);
    // A file bubble shows its record's download state again.
    void RefreshFile();
    // A voice bubble shows that it is playing: its icon sends out waves.
    void SetPlaying(bool playing);
    bool Playing() const { return playing_; }
    // The content of a file bubble; null for other kinds.
    MsgFileItem* FileItem() const { return file_item_; }

    int MsgType() const { return msg_type_; }
    int Side() const { return side_; }
    bool Failed() const { return failed_; }
    // How often the avatar folder was searched (tests watch the single re-check).
    int AvatarLookups() const { return avatar_lookups_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void BuildLeft();
    void BuildRight();
    void BuildCenter();
    QLabel* NewAvatar();
    QFrame* NewStateFrame();
    void AddPlayLabel();
    QWidget* BuildContent();
    // The content of a file message (msg_type 2).
    QWidget* BuildFileContent();
    QLabel* BuildLabelContent();
    // Asks once for a picture, voice or video that is not here.
    void FetchIfMissing();
    // A click on a picture, voice or video.
    void OpenMedia();
    void NextVoiceFrame();
    bool ShowAvatar();
    bool ContentFilter(QEvent* event);
    bool StateFilter(QEvent* event);
    void ShowCopyMenu(const QPoint& global_pos);

    ChatView* list_;
    QListWidgetItem* row_;
    Bubble bubble_;
    QString content_;
    QString text_;
    QString request_;
    int msg_type_;
    int side_;
    bool group_;
    bool failed_ = false;
    int avatar_id_ = 0;
    int avatar_lookups_ = 0;
    bool playing_ = false;
    int voice_frame_ = 0;
    QTimer* voice_timer_ = nullptr;
    MsgFileItem* file_item_ = nullptr;

    QLabel* avatar_lab_ = nullptr;
    QWidget* content_wid_ = nullptr;
    QFrame* state_frame_ = nullptr;
    QLabel* state_lab_ = nullptr;
    QLabel* play_lab_ = nullptr;
    QFrame* group_frame_ = nullptr;
    QLabel* name_lab_ = nullptr;
};
