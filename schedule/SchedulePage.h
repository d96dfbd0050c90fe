#pragma once

#include <QFrame>
#include <QList>

class ElidedLabel;
class QLabel;
class QToolButton;
class SchedulePageHelper;
class ScheduleSideWid;
class ScheduleTableWid;

// The main window's schedule page: the week's name with buttons for the previous and next
// week, the legend of the four kinds of entry (each can be hidden by a click), the week table,
// and on the right the to-do and meeting panel, which the zoom button shows or hides.
class SchedulePage : public QFrame {
    Q_OBJECT
public:
    static const int kPanelWidth = 268;

    explicit SchedulePage(QWidget* parent = nullptr);
    ~SchedulePage() override;

    SchedulePageHelper* Helper() const { return helper_; }
    ScheduleTableWid* Table() const { return table_; }
    ScheduleSideWid* Side() const { return side_; }
    bool PanelShown() const { return panel_shown_; }
    // Position of the shown week in the week list; -1 before the weeks are known.
    int WeekIndex() const;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void SetupUI();
    QWidget* BuildHeader();
    QWidget* BuildLegend();
    void ConnectSignals();

    void OnWeeksReady(int current_index);
    void OnSectionsReady();
    void OnScheduleReady();
    // Moves by `step` weeks; nothing happens when that leaves the week list.
    void StepWeek(int step);
    void ShowWeek(int index);
    void UpdateWeekButtons();
    void OnZoom();
    void PlaceZoomButton();

    SchedulePageHelper* helper_ = nullptr;
    QLabel* week_info_lab_ = nullptr;
    ElidedLabel* week_range_lab_ = nullptr;
    QToolButton* last_week_btn_ = nullptr;
    QToolButton* next_week_btn_ = nullptr;
    QToolButton* this_week_btn_ = nullptr;
    QToolButton* web_link_btn_ = nullptr;
    QToolButton* zoom_btn_ = nullptr;
    ScheduleTableWid* table_ = nullptr;
    ScheduleSideWid* side_ = nullptr;
    int current_week_ = -1;
    bool panel_shown_ = false;
    bool shown_before_ = false;
};
