#include "Attachment.h"

#include <QFileInfo>
#include <QStringList>

#include "MessageItemInfo.h"

namespace {

const QChar kBar = QLatin1Char('|');

bool IsLocalPath(const QString& url) {
    return !url.contains(kBar) && QFileInfo(url).isAbsolute();
}

}  // namespace

Attachment Attachment::FromUrl(int type, const QString& url, bool sent_by_me,
                               const QString& message_id) {
    Attachment attachment;
    attachment.type = type;
    attachment.sent_by_me = sent_by_me;
    attachment.message_id = message_id;
    if (IsLocalPath(url)) {
        attachment.local_file = url;
        attachment.name = QFileInfo(url).fileName();
        return attachment;
    }
    const QStringList parts = url.split(kBar);
    if (parts.size() >= 2) {
        attachment.reference = parts.at(0);
        attachment.name = parts.at(1);
    }
    return attachment;
}

Attachment Attachment::FromRequest(int type, const QString& request) {
    const int bar = request.indexOf(kBar);
    if (type != 2 || bar < 0)
        return FromUrl(type, request, bar < 0);
    return FromUrl(type, request.mid(bar + 1), false, request.left(bar));
}

Attachment Attachment::FromFileContent(const QString& content) {
    const QString prefix = QStringLiteral("MsgID_");
    if (!content.startsWith(prefix))
        return FromUrl(2, content, true);
    const QStringList parts = content.mid(prefix.size()).split(kBar);
    const bool sent_by_me = parts.value(1) == QLatin1String("1");
    const QString url = parts.mid(2).join(kBar);
    return FromUrl(2, url, sent_by_me, parts.value(0));
}

Attachment Attachment::FromRecord(const MessageItemInfo& info) {
    const QString message_id = info.message_id > 0 ? QString::number(info.message_id) : QString();
    return FromUrl(info.msg_type, info.url, info.send_or_receive != 0, message_id);
}

QString Attachment::RequestText() const {
    if (reference.isEmpty())
        return local_file;
    const QString url = reference + kBar + name;
    return type == 2 ? message_id + kBar + url : url;
}

QString Attachment::Key() const {
    if (!reference.isEmpty())
        return reference;
    return message_id.isEmpty() || message_id == QLatin1String("-1")
               ? QString()
               : QLatin1Char('#') + message_id;
}
