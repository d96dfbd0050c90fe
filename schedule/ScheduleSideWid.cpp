#include "ScheduleSideWid.h"

#include <QButtonGroup>
#include <QDebug>
#include <QDesktopServices>
#include <QEvent>
#include <QJsonArray>
#include <QLabel>
#include <QListWidget>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QStackedWidget>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include "MeetingItem.h"
#include "ScheduleRequester.h"
#include "ScheduleSideHelper.h"
#include "TodoItem.h"
#include "widgets/WindowStyle.h"

namespace {

const int kTabHeight = 44;
const int kUnderLineWidth = 28;
const int kMinuteMs = 60 * 1000;
// Rows that open nothing (the empty-list line) carry this.
const int kPlaceholderRole = Qt::UserRole + 1;

QListWidget* List(const char* name, QWidget* parent) {
    auto* list = new QListWidget(parent);
    list->setObjectName(QLatin1String(name));
    list->setSelectionMode(QAbstractItemView::NoSelection);
    list->setFocusPolicy(Qt::NoFocus);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    list->setCursor(Qt::PointingHandCursor);
    return list;
}

void AddRow(QListWidget* list, QWidget* row, int at) {
    auto* item = new QListWidgetItem;
    item->setSizeHint(row->size());
    list->insertItem(at < 0 ? list->count() : at, item);
    list->setItemWidget(item, row);
}

}  // namespace

ScheduleSideWid::ScheduleSideWid(QWidget* parent) : QFrame(parent) {
    SetupUI();
    helper_ = new ScheduleSideHelper(this);
    connect(helper_, &ScheduleSideHelper::todo_list_ready, this, &ScheduleSideWid::BuildTodoRows);
    connect(helper_, &ScheduleSideHelper::meeting_list_ready, this,
            [this] { BuildMeetingRows(QDateTime::currentDateTime()); });
    connect(tab_group_, &QButtonGroup::idClicked, this, &ScheduleSideWid::OnTabClicked);
    for (QListWidget* list : {todo_list_wid_, meeting_list_wid_})
        connect(list, &QListWidget::itemClicked, this, &ScheduleSideWid::OnItemClicked);
    // Meetings begin and end while the panel stays open.
    minute_timer_ = new QTimer(this);
    minute_timer_->setInterval(kMinuteMs);
    connect(minute_timer_, &QTimer::timeout, this, &ScheduleSideWid::OnMinute);
    minute_timer_->start();
    todo_btn_->animateClick(100);
}

ScheduleSideWid::~ScheduleSideWid() {
    qDebug() << "ScheduleSideWid::~ScheduleSideWid";
}

void ScheduleSideWid::SetupUI() {
    WindowStyle::Apply(this, QStringLiteral("schedule_side_wid"),
                       QStringLiteral(":/ui/schedule_side_wid.qss"),
                       "ScheduleSideWid::SetupUI : load qss failed");
    auto* bg_frame = new QFrame(this);
    bg_frame->setObjectName(QStringLiteral("bg_frame"));
    bg_frame->setFixedHeight(kTabHeight);
    const auto tab = [bg_frame](const char* name, const QString& text) {
        auto* btn = new QPushButton(text, bg_frame);
        btn->setObjectName(QLatin1String(name));
        btn->setCheckable(true);
        btn->setCursor(Qt::PointingHandCursor);
        btn->setFixedHeight(kTabHeight);
        return btn;
    };
    todo_btn_ = tab("todo_btn", QStringLiteral("待办事务"));
    meeting_btn_ = tab("meeting_btn", QStringLiteral("会议"));
    for (QPushButton* btn : {todo_btn_, meeting_btn_})
        btn->installEventFilter(this);
    tab_group_ = new QButtonGroup(this);
    tab_group_->setExclusive(true);
    tab_group_->addButton(todo_btn_, kTodoTab);
    tab_group_->addButton(meeting_btn_, kMeetingTab);
    under_line_ = new QLabel(bg_frame);
    under_line_->setObjectName(QStringLiteral("under_line"));
    under_line_->setFixedSize(kUnderLineWidth, 3);
    auto* tabs = new QHBoxLayout(bg_frame);
    tabs->setContentsMargins(0, 0, 0, 0);
    tabs->setSpacing(0);
    tabs->addWidget(todo_btn_);
    tabs->addWidget(meeting_btn_);

    stacked_ = new QStackedWidget(this);
    todo_list_wid_ = List("todo_list_wid", stacked_);
    meeting_list_wid_ = List("meeting_list_wid", stacked_);
    stacked_->addWidget(todo_list_wid_);
    stacked_->addWidget(meeting_list_wid_);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(bg_frame);
    column->addWidget(stacked_, 1);
}

bool ScheduleSideWid::eventFilter(QObject* watched, QEvent* event) {
    const bool tab = watched == todo_btn_ || watched == meeting_btn_;
    if (tab && (event->type() == QEvent::Resize || event->type() == QEvent::Move))
        MoveUnderLine(false);
    return QFrame::eventFilter(watched, event);
}

int ScheduleSideWid::CurrentTab() const {
    return stacked_->currentIndex();
}

void ScheduleSideWid::OnTabClicked(int id) {
    qDebug() << "ScheduleSideWid: btn clicked: id: " << id;
    stacked_->setCurrentIndex(id == kTodoTab ? kTodoTab : kMeetingTab);
    MoveUnderLine(isVisible());
    Refresh();
}

void ScheduleSideWid::Refresh() {
    if (CurrentTab() == kTodoTab)
        helper_->RefreshTodos();
    else
        helper_->RefreshMeetings();
}

void ScheduleSideWid::MoveUnderLine(bool animated) {
    QPushButton* btn = CurrentTab() == kTodoTab ? todo_btn_ : meeting_btn_;
    const QPoint target(btn->x() + (btn->width() - kUnderLineWidth) / 2,
                        kTabHeight - under_line_->height());
    if (!animated) {
        under_line_->move(target);
        return;
    }
    auto* slide = new QPropertyAnimation(under_line_, "pos", under_line_);
    slide->setDuration(150);
    slide->setEndValue(target);
    slide->setEasingCurve(QEasingCurve::OutCubic);
    slide->start(QAbstractAnimation::DeleteWhenStopped);
}

// Every row is inserted at the top, so the last item of the collection comes first.
void ScheduleSideWid::BuildTodoRows() {
    todo_list_wid_->clear();
    const struct {
        TodoItem::Kind kind;
        const QJsonArray& plans;
    } lists[] = {{TodoItem::kHandle, helper_->Handle()},
                 {TodoItem::kAudit, helper_->Audit()},
                 {TodoItem::kApplying, helper_->Applying()}};
    for (const auto& list : lists) {
        for (const QJsonValue& plan : list.plans)
            AddRow(todo_list_wid_, new TodoItem(list.kind, plan.toObject()), 0);
    }
    if (todo_list_wid_->count() == 0)
        AddPlaceholder(todo_list_wid_, QStringLiteral("暂无待办事务"));
}

void ScheduleSideWid::BuildMeetingRows(const QDateTime& now) {
    meeting_list_wid_->clear();
    meeting_states_.clear();
    for (const QJsonValue& value : helper_->Meetings()) {
        const QJsonObject meeting = value.toObject();
        const MeetingItem::State state = MeetingItem::StateAt(meeting, now);
        meeting_states_.append(state);
        if (state != MeetingItem::kEnded)
            AddRow(meeting_list_wid_, new MeetingItem(meeting, state), -1);
    }
    if (meeting_list_wid_->count() == 0)
        AddPlaceholder(meeting_list_wid_, QStringLiteral("暂无会议"));
}

void ScheduleSideWid::OnMinute() {
    const QDateTime now = QDateTime::currentDateTime();
    QList<int> states;
    for (const QJsonValue& value : helper_->Meetings())
        states.append(MeetingItem::StateAt(value.toObject(), now));
    if (states != meeting_states_)
        BuildMeetingRows(now);
}

void ScheduleSideWid::OnItemClicked(QListWidgetItem* item) {
    if (!item || item->data(kPlaceholderRole).toBool())
        return;
    QDesktopServices::openUrl(QUrl(ScheduleRequester::WebPageUrl()));
}

void ScheduleSideWid::AddPlaceholder(QListWidget* list, const QString& text) {
    auto* item = new QListWidgetItem(text);
    item->setData(kPlaceholderRole, true);
    item->setFlags(Qt::NoItemFlags);
    item->setTextAlignment(Qt::AlignCenter);
    item->setSizeHint(QSize(TodoItem::kWidth, 120));
    list->addItem(item);
}
