#pragma once

#include <QWidget>

#include "engine/MessageSysItemInfo.h"

class QLabel;
class QListWidget;
class QListWidgetItem;

// The page of conversation id 0: one row per reminder category of the platform, those with
// unread reminders first; a click asks for the reminder's web page.
class MessagePageSys : public QWidget {
    Q_OBJECT
public:
    explicit MessagePageSys(QWidget* parent = nullptr);

    // A new list of categories in the order the engine sends them; the records stay the
    // caller's.
    void Refill(const MessageSysItemInfoPointers& records);
    QListWidget* List() const { return list_; }
    // Rows with unread reminders, at the top of the list.
    int UnreadRows() const { return unread_rows_; }

signals:
    void req_sys_msg_external_link(int remind_id, int message_id);

private:
    void Init();
    void OnItemClicked(QListWidgetItem* item);

    QLabel* title_lab_ = nullptr;
    QListWidget* list_ = nullptr;
    int unread_rows_ = 0;
};
