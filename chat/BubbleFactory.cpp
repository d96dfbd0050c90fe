#include "BubbleFactory.h"

#include "MessageHtml.h"
#include "base/Account.h"
#include "engine/Attachment.h"
#include "engine/AttachmentPaths.h"
#include "engine/MessageItemInfo.h"

QString BubbleFactory::LocalPathFor(const MessageItemInfo& record) {
    if (record.msg_type < 2 || record.msg_type > 5)
        return QString();
    // The file here; else the one it was sent from, or where its download will put it.
    const Attachment attachment = Attachment::FromRecord(record);
    const AttachmentPaths paths;
    const QString found = paths.Find(attachment);
    if (!found.isEmpty())
        return found;
    return attachment.local_file.isEmpty() ? paths.DownloadPath(attachment) : attachment.local_file;
}

QString BubbleFactory::SeparatorText(const QDateTime& date, const QDate& today) {
    return date.toString(date.date() == today ? QStringLiteral("HH:mm:ss")
                                              : QStringLiteral("yyyy/M/d HH:mm:ss"));
}

bool BubbleFactory::SameDay(const QDateTime& a, const QDateTime& b) {
    const QString day = QStringLiteral("yyyy-M-d");
    return a.toString(day) == b.toString(day);
}

Bubble BubbleFactory::FromRecord(const MessageItemInfo& record, bool group) {
    const bool own = record.send_or_receive != 0;
    Bubble bubble;
    bubble.local_path = LocalPathFor(record);
    bubble.content = MessageHtml::ForRecord(record, bubble.local_path);
    if (record.msg_type >= 2 && record.msg_type <= 5) {
        const Attachment attachment = Attachment::FromRecord(record);
        bubble.request = attachment.RequestText();
        bubble.reference = attachment.reference;
        bubble.url = record.url;
    }
    bubble.msg_type = record.msg_type;
    bubble.side = own ? Bubble::kRight : Bubble::kLeft;
    bubble.group = group;
    bubble.text = record.content;
    bubble.is_read = record.is_read;
    bubble.id = record.id;
    bubble.message_id = record.message_id;
    if (own) {
        bubble.client_message_id = record.client_message_id;
        bubble.avatar_id = Account::UserId().toInt();
        bubble.avatar_name = Account::UserName();
        const bool unsent = record.is_send == 0 || record.is_send == -1;
        bubble.state = unsent ? -1 : record.is_read;
    } else {
        bubble.avatar_id = group ? record.other_id2 : record.other_id;
        bubble.avatar_name = record.other_name;
        if (group)
            bubble.sender_name = record.other_name;
    }
    return bubble;
}

Bubble BubbleFactory::Separator(const QDateTime& date) {
    Bubble bubble;
    bubble.content = SeparatorText(date, QDate::currentDate());
    bubble.msg_type = Bubble::kSeparator;
    bubble.side = Bubble::kCenter;
    return bubble;
}

Bubble BubbleFactory::Own(const QString& content, int msg_type, bool group) {
    Bubble bubble;
    bubble.content = content;
    bubble.msg_type = msg_type;
    bubble.side = Bubble::kRight;
    bubble.group = group;
    bubble.avatar_id = Account::UserId().toInt();
    bubble.avatar_name = Account::UserName();
    return bubble;
}
