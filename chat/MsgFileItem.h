#pragma once

#include <QString>
#include <QWidget>

#include "Bubble.h"
#include "engine/Attachment.h"

class ChatView;
class QLabel;
class QListWidgetItem;
class QProgressBar;
class QPushButton;

// The content of a file message's bubble: a card with the type icon, name and size, what the
// file is doing (sending, sent, downloading, downloaded, failed) and the buttons to download,
// save or open it; a click on the card downloads or opens, its menu offers all three. What it shows
// comes from the row's Bubble, which keeps a download's state while the row has no widget; where
// the file lies is asked again at each use, never remembered.
class MsgFileItem : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 296;
    static constexpr int kHeight = 106;

    // `list` and `row`: where the Bubble lives; without a row the item keeps a copy of its own.
    MsgFileItem(const Bubble& bubble, ChatView* list, QListWidgetItem* row,
                QWidget* parent = nullptr);

    // Shows what the record knows now.
    void Refresh();
    // The message's send state changed (-1 failed, 0..2 sent, 3 waiting for the answer).
    void SetSendState(int state);
    // Asks where to save a copy ("保存文件"); copies at once when the file is here, else
    // downloads it and copies once it arrived.
    void SaveAs();

    // A value from the downloader for the file of `bubble` is kept there; after "100" a
    // pending save-as is copied.
    static void Apply(Bubble* bubble, const QString& value);
    // The file a bubble's content names.
    static Attachment FileOf(const Bubble& bubble);
    // The title: the name cut in the middle to `name_width` pixels and the size in KB, white on
    // one's own blue card, dark on a received one.
    static QString TitleHtml(const QString& name, int size_kb, bool own, int name_width);

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void BuildUI();
    QPushButton* NewButton(const QString& name, const QString& text);
    Bubble* Record();
    QString LocalFile();
    void OnDownload();
    void OnSaveOrOpen();
    // Downloads what is not here, opens what is.
    void OnPrimary();
    void Open();
    void FetchOwn(Bubble* record, const Attachment& file);
    void ShowInFolder();
    void ShowOwn(const Bubble& record);
    void ShowReceived(const Bubble& record);
    void ShowButtons(bool download, const QString& second);
    void ShowState(const QString& text, int percent = -1);
    void ShowError(const QString& value);
    void Tell(const QString& text);

    ChatView* list_;
    QListWidgetItem* row_;
    Bubble copy_;
    bool own_;
    QString suffix_;

    QLabel* ico_lab_ = nullptr;
    QLabel* title_lab_ = nullptr;
    QLabel* state_lab_ = nullptr;
    QWidget* line_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QPushButton* download_btn_ = nullptr;
    QPushButton* save_open_btn_ = nullptr;
};
