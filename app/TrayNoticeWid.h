#pragma once

#include <QWidget>

class QFrame;
class QLabel;
class QPushButton;

// The small popup at the tray icon: new messages (and letters), a click opens them, "忽略全部"
// dismisses the notice.
class TrayNoticeWid : public QWidget {
    Q_OBJECT
public:
    explicit TrayNoticeWid(QWidget* parent = nullptr);
    ~TrayNoticeWid() override;

    void Init();
    // The conversation a click opens and its unread number; 0 hides the number.
    void SetCount(int other_id, int nums);

signals:
    void open_chat_view(int other_id);
    void open_email_view();
    void stop_flash();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void SetupUI();
    void BuildWidgets();
    void LayoutWidgets();
    void OnIgnore();

    int other_id_ = 0;

    QFrame* bg_frame_ = nullptr;
    QLabel* head_lab_ = nullptr;
    QFrame* item_msg_frame_ = nullptr;
    QLabel* new_msg_lab_ = nullptr;
    QLabel* msg_count_lab_ = nullptr;
    QFrame* item_email_frame_ = nullptr;
    QLabel* new_email_lab_ = nullptr;
    QLabel* email_count_lab_ = nullptr;
    QFrame* line_ = nullptr;
    QPushButton* ignore_btn_ = nullptr;
};
