#include "MessageNotice.h"

#include <QWidget>

#include "base/SqlExec.h"
#include "engine/ConnectListItemInfo.h"
#include "login/ConnectMsgListItem.h"
#include "platform/DesktopNotifier.h"

namespace {

const char kNewestReceived[] =
    "SELECT id, other_id, other_name, content, msg_type FROM message_all WHERE id > :after AND "
    "send_or_receive = 0 ORDER BY id DESC LIMIT 1;";
const char kCountReceived[] =
    "SELECT COUNT(*) FROM message_all WHERE id > :after AND send_or_receive = 0;";

}  // namespace

MessageNotice::MessageNotice(QWidget* window, std::unique_ptr<DesktopNotifier> notifier)
    : QObject(window), window_(window), notifier_(std::move(notifier)) {
    seen_id_ = SqlExec::SelectInt(QStringLiteral("SELECT MAX(id) FROM message_all;"));
    if (notifier_) {
        connect(notifier_.get(), &DesktopNotifier::activated, this, &MessageNotice::open_chat_view);
    }
}

MessageNotice::~MessageNotice() = default;

void MessageNotice::OnNewMessages() {
    const SqlParams after = {{"after", seen_id_}};
    const QVariantMap row = SqlExec::SelectRow(QLatin1String(kNewestReceived), after);
    if (row.isEmpty())
        return;
    const int count = SqlExec::SelectInt(QLatin1String(kCountReceived), after);
    seen_id_ = row.value("id").toInt();
    if (!notifier_ || !window_ || window_->isActiveWindow() || !notifier_->Available())
        return;
    const int other_id = row.value("other_id").toInt();
    const QString group_name =
        other_id < 0
            ? SqlExec::SelectString(
                  QStringLiteral("SELECT group_name FROM group_infos WHERE group_id = :group_id;"),
                  {{"group_id", -other_id}})
            : QString();
    const Text text = Compose(row, count, group_name);
    notifier_->Show(text.title, text.body, other_id);
}

MessageNotice::Text MessageNotice::Compose(const QVariantMap& row, int count,
                                           const QString& group_name) {
    // The text the conversation list shows for this message: in a group it names the sender.
    ConnectListItemInfo info;
    info.other_id = row.value("other_id").toInt();
    info.other_name = row.value("other_name").toString();
    info.content = row.value("content").toString();
    info.msg_type = row.value("msg_type").toInt();
    info.send_or_receive = 0;
    const QString preview = Shorten(ConnectMsgListItem::Preview(info));
    Text text;
    if (info.other_id == 0)
        text.title = QStringLiteral("系统消息");
    else if (info.other_id < 0)
        text.title = group_name.isEmpty() ? QStringLiteral("群消息") : group_name;
    else
        text.title = info.other_name;
    text.body = count > 1 ? QStringLiteral("%1\n共 %2 条新消息").arg(preview).arg(count) : preview;
    return text;
}

QString MessageNotice::Shorten(const QString& line, int limit) {
    if (line.size() <= limit)
        return line;
    int cut = limit - 1;
    // Never half of a character outside the basic plane (most emoji).
    if (cut > 0 && line.at(cut - 1).isHighSurrogate())
        --cut;
    return line.left(cut) + QStringLiteral("…");
}
