#pragma once

#include <QString>
#include <QWidget>

class QFrame;
class QLabel;
struct MessageSysItemInfo;

// One row of the system-message page: a reminder category with its icon, name, newest text,
// date and unread count.
class MessageItemSys : public QWidget {
    Q_OBJECT
public:
    static constexpr int kRowHeight = 63;

    explicit MessageItemSys(QWidget* parent = nullptr);

    void SetData(const MessageSysItemInfo& record);
    int RemindId() const { return remind_id_; }
    int MessageId() const { return message_id_; }
    // The icon of a category: its own when the icon list names it, else the general one.
    static QString IconStyle(const QString& category);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void Build();
    void ElideText();

    int remind_id_ = 0;
    int message_id_ = 0;
    QString text_;

    QFrame* bg_frame_ = nullptr;
    QLabel* ico_lab_ = nullptr;
    QLabel* remind_name_lab_ = nullptr;
    QLabel* date_lab_ = nullptr;
    QLabel* count_lab_ = nullptr;
    QLabel* short_msg_lab_ = nullptr;
    QFrame* line_ = nullptr;
};
