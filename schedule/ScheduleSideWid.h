#pragma once

#include <QDateTime>
#include <QFrame>
#include <QList>

class QButtonGroup;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QStackedWidget;
class QTimer;
class ScheduleSideHelper;

// The panel at the right of the schedule page: two tabs, "待办事务" and "会议", each a list
// fetched page by page. Clicking a row opens the platform's schedule page in the browser.
class ScheduleSideWid : public QFrame {
    Q_OBJECT
public:
    enum Tab { kTodoTab = 0, kMeetingTab = 1 };

    explicit ScheduleSideWid(QWidget* parent = nullptr);
    ~ScheduleSideWid() override;

    ScheduleSideHelper* Helper() const { return helper_; }
    QListWidget* TodoList() const { return todo_list_wid_; }
    QListWidget* MeetingList() const { return meeting_list_wid_; }
    int CurrentTab() const;

    // Fetches the list of the current tab again.
    void Refresh();
    // Rebuilds the meeting rows with the states at `now`; ended meetings are left out.
    void BuildMeetingRows(const QDateTime& now);

protected:
    // Keeps the tab's underline under its tab when the tab row is laid out.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void SetupUI();
    void OnTabClicked(int id);
    void BuildTodoRows();
    void OnMinute();
    void OnItemClicked(QListWidgetItem* item);
    void MoveUnderLine(bool animated);
    // A grey line in an empty list.
    static void AddPlaceholder(QListWidget* list, const QString& text);

    ScheduleSideHelper* helper_ = nullptr;
    QButtonGroup* tab_group_ = nullptr;
    QPushButton* todo_btn_ = nullptr;
    QPushButton* meeting_btn_ = nullptr;
    QLabel* under_line_ = nullptr;
    QStackedWidget* stacked_ = nullptr;
    QListWidget* todo_list_wid_ = nullptr;
    QListWidget* meeting_list_wid_ = nullptr;
    QTimer* minute_timer_ = nullptr;
    // The states the meeting rows were built with, to rebuild only when one changes.
    QList<int> meeting_states_;
};
