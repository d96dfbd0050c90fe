#include "SchedulePage.h"

#include <QDebug>
#include <QDesktopServices>
#include <QHBoxLayout>
#include <QLabel>
#include <QStyle>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include "ElidedLabel.h"
#include "ScheduleGrid.h"
#include "SchedulePageHelper.h"
#include "ScheduleRequester.h"
#include "ScheduleSideWid.h"
#include "ScheduleTableWid.h"
#include "widgets/WindowStyle.h"

namespace {

const char kWeekIndex[] = "week_index";
const int kZoomTop = 86;
const int kZoomRightShown = 286;
const int kZoomRightHidden = 17;

struct LegendKind {
    const char* tag;
    const char* text_name;
    const char* text;
};

// In the order of ScheduleTableWid::KindOf.
const LegendKind kLegend[] = {
    {"about_school_tag", "about_school", "学校安排"},
    {"about_group_tag", "about_group", "部门安排"},
    {"about_user_tag", "about_user", "个人安排"},
    {"about_self_tag", "about_self", "与我相关"},
};

QToolButton* ToolButton(const char* name, QWidget* parent, const QString& tip = QString()) {
    auto* btn = new QToolButton(parent);
    btn->setObjectName(QLatin1String(name));
    btn->setCursor(Qt::PointingHandCursor);
    btn->setToolTip(tip);
    return btn;
}

void Repolish(QWidget* widget) {
    widget->style()->unpolish(widget);
    widget->style()->polish(widget);
}

}  // namespace

SchedulePage::SchedulePage(QWidget* parent) : QFrame(parent) {
    SetupUI();
    helper_ = new SchedulePageHelper(this);
    ConnectSignals();
    helper_->Start();
    // The panel starts hidden; this first click shows it.
    zoom_btn_->animateClick(100);
}

SchedulePage::~SchedulePage() {
    qDebug() << "SchedulePage::~SchedulePage";
}

int SchedulePage::WeekIndex() const {
    const QVariant index = week_info_lab_->property(kWeekIndex);
    return index.isValid() ? index.toInt() : -1;
}

void SchedulePage::SetupUI() {
    WindowStyle::Apply(this, QStringLiteral("schedule_page"),
                       QStringLiteral(":/ui/schedule_page.qss"),
                       "SchedulePage::Init : load qss failed");
    table_ = new ScheduleTableWid(this);
    side_ = new ScheduleSideWid(this);
    side_->setFixedWidth(kPanelWidth);
    side_->hide();

    auto* content = new QVBoxLayout;
    content->setContentsMargins(20, 8, 24, 12);
    content->setSpacing(8);
    content->addWidget(BuildHeader());
    content->addWidget(table_, 1);

    auto* page = new QHBoxLayout(this);
    page->setContentsMargins(0, 0, 0, 0);
    page->setSpacing(0);
    page->addLayout(content, 1);
    page->addWidget(side_);

    zoom_btn_ = ToolButton("zoom_btn", this);
    zoom_btn_->setFixedSize(18, 22);
    zoom_btn_->raise();
}

QWidget* SchedulePage::BuildHeader() {
    auto* header = new QFrame(this);
    header->setObjectName(QStringLiteral("page_head_frame"));
    header->setFixedHeight(44);
    // The header gives way to the table: it never makes the main window wider. The week's dates
    // are the first to go.
    header->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    last_week_btn_ = ToolButton("last_week_btn", header, QStringLiteral("上一周"));
    next_week_btn_ = ToolButton("next_week_btn", header, QStringLiteral("下一周"));
    for (QToolButton* btn : {last_week_btn_, next_week_btn_})
        btn->setFixedSize(26, 26);
    week_info_lab_ = new QLabel(header);
    week_info_lab_->setObjectName(QStringLiteral("week_info_lab"));
    week_info_lab_->setAlignment(Qt::AlignCenter);
    week_info_lab_->setMinimumWidth(56);
    week_range_lab_ = new ElidedLabel(QString(), header);
    week_range_lab_->setObjectName(QStringLiteral("week_range_lab"));
    this_week_btn_ = ToolButton("this_week_btn", header);
    this_week_btn_->setText(QStringLiteral("本周"));
    this_week_btn_->setToolTip(QStringLiteral("回到本周"));
    this_week_btn_->hide();
    web_link_btn_ = ToolButton("web_link_btn", header, QStringLiteral("在浏览器中打开日程"));
    web_link_btn_->setText(QStringLiteral("网页版"));
    UpdateWeekButtons();

    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(6);
    row->addWidget(last_week_btn_);
    row->addWidget(week_info_lab_);
    row->addWidget(next_week_btn_);
    row->addWidget(this_week_btn_);
    row->addWidget(week_range_lab_, 1);
    row->addWidget(BuildLegend());
    row->addSpacing(6);
    row->addWidget(web_link_btn_);
    return header;
}

// Each kind is a checkable button holding its dot and its text; unchecking hides the kind.
QWidget* SchedulePage::BuildLegend() {
    auto* legend = new QFrame(this);
    legend->setObjectName(QStringLiteral("tag_bg_frame"));
    auto* row = new QHBoxLayout(legend);
    row->setContentsMargins(4, 0, 4, 0);
    row->setSpacing(0);
    for (int kind = 0; kind < 4; ++kind) {
        auto* btn = ToolButton("legend_btn", legend,
                               QStringLiteral("点击显示或隐藏%1").arg(kLegend[kind].text));
        btn->setCheckable(true);
        btn->setChecked(true);
        auto* dot = new QLabel(btn);
        dot->setObjectName(QLatin1String(kLegend[kind].tag));
        dot->setFixedSize(10, 10);
        auto* text = new QLabel(QString::fromUtf8(kLegend[kind].text), btn);
        text->setObjectName(QLatin1String(kLegend[kind].text_name));
        auto* inner = new QHBoxLayout(btn);
        inner->setContentsMargins(6, 0, 6, 0);
        inner->setSpacing(6);
        inner->addWidget(dot);
        inner->addWidget(text);
        btn->setFixedSize(inner->sizeHint().width(), 28);
        for (QLabel* lab : {dot, text})
            lab->setAttribute(Qt::WA_TransparentForMouseEvents);
        connect(btn, &QToolButton::toggled, this, [this, btn, dot, text, kind](bool shown) {
            table_->SetKindShown(kind, shown);
            for (QWidget* w : {static_cast<QWidget*>(btn), static_cast<QWidget*>(dot),
                               static_cast<QWidget*>(text)}) {
                w->setProperty("off", !shown);
                Repolish(w);
            }
        });
        row->addWidget(btn);
    }
    return legend;
}

void SchedulePage::ConnectSignals() {
    connect(helper_, &SchedulePageHelper::weeks_ready, this, &SchedulePage::OnWeeksReady);
    connect(helper_, &SchedulePageHelper::sections_ready, this, &SchedulePage::OnSectionsReady);
    connect(helper_, &SchedulePageHelper::schedule_ready, this, &SchedulePage::OnScheduleReady);
    connect(last_week_btn_, &QToolButton::clicked, this, [this] { StepWeek(-1); });
    connect(next_week_btn_, &QToolButton::clicked, this, [this] { StepWeek(1); });
    connect(this_week_btn_, &QToolButton::clicked, this, [this] { ShowWeek(current_week_); });
    connect(zoom_btn_, &QToolButton::clicked, this, &SchedulePage::OnZoom);
    connect(web_link_btn_, &QToolButton::clicked, this,
            [] { QDesktopServices::openUrl(QUrl(ScheduleRequester::WebPageUrl())); });
}

void SchedulePage::OnWeeksReady(int current_index) {
    current_week_ = current_index;
    ShowWeek(current_index);
}

void SchedulePage::OnSectionsReady() {
    table_->SetSections(helper_->Sections());
}

void SchedulePage::OnScheduleReady() {
    table_->SetEntries(helper_->Entries());
}

void SchedulePage::StepWeek(int step) {
    const int index = WeekIndex() + step;
    if (WeekIndex() < 0 || index < 0 || index >= helper_->Weeks().size())
        return;
    ShowWeek(index);
}

void SchedulePage::ShowWeek(int index) {
    const TermWeek week = helper_->Weeks().value(index);
    week_info_lab_->setProperty(kWeekIndex, index);
    week_info_lab_->setText(week.name);
    const QList<QDate> days = ScheduleGrid::Days(week);
    week_range_lab_->SetFullText(
        days.isEmpty()
            ? QString()
            : QStringLiteral("%1 - %2").arg(days.first().toString(QStringLiteral("yyyy.MM.dd")),
                                            days.last().toString(QStringLiteral("MM.dd"))));
    UpdateWeekButtons();
    table_->SetDays(days, QDate::currentDate());
    helper_->RequestWeekEntries(index);
}

void SchedulePage::UpdateWeekButtons() {
    const int index = WeekIndex();
    const int count = helper_ ? helper_->Weeks().size() : 0;
    last_week_btn_->setEnabled(index > 0);
    next_week_btn_->setEnabled(index >= 0 && index + 1 < count);
    this_week_btn_->setVisible(index >= 0 && index != current_week_);
}

void SchedulePage::OnZoom() {
    panel_shown_ = !panel_shown_;
    side_->setVisible(panel_shown_);
    zoom_btn_->setProperty("panel_shown", panel_shown_);
    zoom_btn_->setToolTip(panel_shown_ ? QStringLiteral("收起待办与会议")
                                       : QStringLiteral("展开待办与会议"));
    Repolish(zoom_btn_);
    PlaceZoomButton();
}

void SchedulePage::PlaceZoomButton() {
    const int right = panel_shown_ ? kZoomRightShown : kZoomRightHidden;
    zoom_btn_->move(width() - right, kZoomTop);
    zoom_btn_->raise();
}

void SchedulePage::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    PlaceZoomButton();
}

// Coming back to the page brings the week and the lists up to date.
void SchedulePage::showEvent(QShowEvent* event) {
    QFrame::showEvent(event);
    if (shown_before_) {
        if (WeekIndex() >= 0)
            helper_->RequestWeekEntries(WeekIndex());
        side_->Refresh();
    }
    shown_before_ = true;
}
