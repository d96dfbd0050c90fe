#include "ScheduleSideHelper.h"

#include <QDebug>

#include "ScheduleReplies.h"
#include "ScheduleRequester.h"
#include "ScheduleSideHelperHttp.h"
#include "base/Account.h"
#include "base/FormBody.h"
#include "base/Json.h"
#include "base/ServicePaths.h"

namespace method = service_paths::method;

ScheduleSideHelper::ScheduleSideHelper(QObject* parent)
    : QObject(parent),
      requester_(new ScheduleRequester(
          new ScheduleSideHelperHttp,
          [this](int kind, const QByteArray& data) { OnReply(kind, data); }, this)) {
    connect(this, &ScheduleSideHelper::todo_infos_ready, this, &ScheduleSideHelper::OnTodoInfos);
    connect(this, &ScheduleSideHelper::meeting_infos_ready, this,
            &ScheduleSideHelper::OnMeetingInfos);
}

ScheduleSideHelper::~ScheduleSideHelper() {
    qDebug() << "ScheduleSideHelper::~ScheduleSideHelper";
}

bool ScheduleSideHelper::HasNextPage(int page_index, int total_count) {
    return static_cast<qint64>(page_index + 1) * kPageSize < total_count;
}

void ScheduleSideHelper::RefreshTodos() {
    todos_collecting_ = Todos();
    RequestPage(kTodoChannel, 0);
}

void ScheduleSideHelper::RefreshMeetings() {
    meetings_collecting_ = QJsonArray();
    RequestPage(kMeetingChannel, 0);
}

void ScheduleSideHelper::RequestPage(Channel channel, int page_index) {
    (channel == kTodoChannel ? todo_page_ : meeting_page_) = page_index;
    const AccountMap& account = Account::GetAccountInfo(Account::CurUserId());
    const FormBody body =
        FormBody()
            .Add(QStringLiteral("User_ID"), account.value(QStringLiteral("User_ID")))
            .Add(QStringLiteral("SessionID"), account.value(QStringLiteral("SessionID")))
            .Add(QStringLiteral("PageIndex"), page_index)
            .Add(QStringLiteral("PageSize"), kPageSize);
    const char* name = channel == kTodoChannel ? method::kPlanGetToDoList3
                                               : method::kMeetingAppointGetListProcessing;
    requester_->Post(channel, channel, QLatin1String(name), body);
}

void ScheduleSideHelper::OnReply(int kind, const QByteArray& data) {
    if (kind == kTodoChannel)
        emit todo_infos_ready(data, todo_page_);
    else
        emit meeting_infos_ready(data, meeting_page_);
}

bool ScheduleSideHelper::Collect(const QByteArray& data,
                                 const QList<QPair<const char*, QJsonArray*>>& lists,
                                 int* total_count, int* brought) {
    const Json reply(data);
    if (!ScheduleReplies::IsSuccess(reply))
        return false;
    *brought = 0;
    for (const auto& list : lists) {
        const QJsonArray items =
            reply.Objects(QStringLiteral("Velta.%1").arg(QLatin1String(list.first)));
        for (const QJsonValue& item : items)
            list.second->append(item);
        *brought += items.size();
    }
    *total_count = reply.Text(QStringLiteral("Velta.TotalCount")).toInt();
    return true;
}

// A page that brings nothing ends the list too: a count the pages never reach would otherwise
// be asked for without end.
void ScheduleSideHelper::OnTodoInfos(QByteArray data, int page_index) {
    int total = 0, brought = 0;
    Todos& t = todos_collecting_;
    if (!Collect(data, {{"R", &t.handle}, {"Audit", &t.audit}, {"Applying", &t.applying}}, &total,
                 &brought))
        return;
    if (brought > 0 && HasNextPage(page_index, total)) {
        RequestPage(kTodoChannel, page_index + 1);
        return;
    }
    todos_ = t;
    todos_collecting_ = Todos();
    emit todo_list_ready();
}

void ScheduleSideHelper::OnMeetingInfos(QByteArray data, int page_index) {
    int total = 0, brought = 0;
    if (!Collect(data, {{"R", &meetings_collecting_}}, &total, &brought))
        return;
    if (brought > 0 && HasNextPage(page_index, total)) {
        RequestPage(kMeetingChannel, page_index + 1);
        return;
    }
    meetings_ = meetings_collecting_;
    meetings_collecting_ = QJsonArray();
    emit meeting_list_ready();
}
