#pragma once

#include <QList>
#include <QListWidget>
#include <QPointer>
#include <QSet>
#include <QString>
#include <unordered_map>

#include "Bubble.h"

class DownloadRegistry;
class MessageItem;
class RowHighlight;

// The scrolling list of one conversation, one row per Bubble. Only rows near the visible part
// have a widget: a list of thousands of widgets would move every one of them at each layout and
// each scroll step. A row's height is measured once, with its widget, when it is added.
class ChatView : public QListWidget {
    Q_OBJECT
public:
    explicit ChatView(QWidget* parent = nullptr);

    // Places the bubble at the end, or at the top when `at_top`.
    void AddItem(const Bubble& bubble, bool at_top);
    // The same at `row`; -1 appends.
    void InsertItem(const Bubble& bubble, int row);
    void InsertItems(const QList<Bubble>& bubbles, int row);
    void RemoveRow(int row);
    // The bubble of `row`; null outside the list.
    Bubble* BubbleAt(int row) const;
    // Sets the send state of `row`, on its widget too when it has one.
    void SetState(int row, int state);
    // Shows new content in `row` (a picture that arrived), measured again.
    void SetContent(int row, const QString& content);
    // The widget of `row` when it has one.
    MessageItem* ItemAt(int row) const;
    // How many rows have a widget now.
    int WidgetCount() const { return realized_.size(); }
    // Removes every row.
    void Clear();
    // The row of stored message `id` (its message_all row); -1 when not shown.
    int RowOfId(int id) const;
    // Scrolls `row` to the middle of the view and marks it for a moment.
    void ShowRow(int row);
    // The row ShowRow marked, while the mark shows; -1.
    int HighlightedRow() const;

    // Asks once for the picture of a sender whose avatar is not in the folder.
    void AskAvatar(int id);

    // Where file bubbles register their downloads (the page manager's registry).
    DownloadRegistry* Downloads() const { return downloads_; }
    void SetDownloads(DownloadRegistry* downloads) { downloads_ = downloads; }
    // From now on the download of file message `message_id` reports to its bubbles here,
    // whether or not they have a widget at the time.
    void FollowFileDownload(const QString& message_id);
    // The voice message at `path` is playing; empty: none is.
    void SetPlayingVoice(const QString& path);

    void doItemsLayout() override;

signals:
    void download_and_play_resource(int msg_type, QString url);
    void download_and_open_resource_send_by_myself(int msg_type, QString url);
    // Fetches an attachment without opening it: a file's download button, or a picture, voice
    // or video that is not here yet.
    void download_resource(int msg_type, QString url);
    // A failed bubble asks its page to send the message of `row` again.
    void resend_item(QListWidgetItem* row);
    void req_avatar(QString other_id);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    MessageItem* Realize(QListWidgetItem* list_item);
    // Gives the row a widget, if it has none, and its height from it.
    void Measure(QListWidgetItem* list_item);
    void Release(QListWidgetItem* list_item);
    // Gives the rows near the visible part a widget and takes it from the others.
    void RealizeVisible();
    // The first row whose bottom lies at or below `y` (viewport coordinates).
    int FirstRowBelow(int y) const;
    void OnFileProgress(const QString& message_id, const QString& value);

    DownloadRegistry* downloads_ = nullptr;
    std::unordered_map<const QListWidgetItem*, Bubble> bubbles_;
    QSet<QListWidgetItem*> realized_;
    QSet<int> asked_avatars_;
    QPointer<RowHighlight> highlight_;
    bool realizing_ = false;
};
