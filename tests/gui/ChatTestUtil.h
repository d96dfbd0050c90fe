#pragma once

// Shared by the conversation page tests: a signed-in demo user with fresh folders, and stored
// message records as the loader hands them over.

#include <QDateTime>
#include <QFile>
#include <QImage>
#include <QString>
#include <QStringList>
#include <QTest>

#include "base/Account.h"
#include "chat/ChatView.h"
#include "engine/AttachmentPaths.h"
#include "engine/MessageItemInfo.h"
#include "tests/engine/EngineTestEnv.h"

namespace chat_test {

constexpr int kUserId = 10001;
constexpr int kWangFang = 10002;
constexpr int kGroup = -301;

// 张磊 of unit 1001, whose services would answer at `unit_base`.
inline bool SignIn(const QString& unit_base = QStringLiteral("http://127.0.0.1:9/unit/1001/")) {
    return engine_test::SignInAs("zhanglei", kUserId,
                                 QStringLiteral("1001,鹿鸣实验小学,%1,").arg(unit_base), "s");
}

// A received text from 王芳 (or, in a group, from 吴军), stored with local row `id`.
inline MessageItemInfo* Record(int id, int other_id = kWangFang, const QString& text = "你好",
                               const QDateTime& date = QDateTime::currentDateTime()) {
    auto* record = new MessageItemInfo;
    record->id = id;
    record->other_id = other_id;
    record->other_id2 = other_id < 0 ? 10007 : 0;
    record->other_name = other_id < 0 ? "吴军" : "王芳";
    record->group_name = other_id < 0 ? "运动会筹备讨论组" : QString();
    record->msg_type = 1;
    record->content = text;
    record->send_date = date;
    record->message_id = 5000 + id;
    record->is_read = 2;
    record->is_send = 1;
    return record;
}

// One's own message: is_send 1 accepted, 0 refused, -1 unanswered.
inline MessageItemInfo* OwnRecord(int id, int other_id, int is_send, int is_read,
                                  const QString& text = "收到") {
    MessageItemInfo* record = Record(id, other_id, text);
    record->other_id2 = 0;
    record->send_or_receive = 1;
    record->is_send = is_send;
    record->is_read = is_read;
    record->client_message_id = id;
    return record;
}

// `count` received texts with ids from `first_id`, one minute apart, ending `last`.
inline MessageItemInfoPointers Records(int first_id, int count, int other_id,
                                       const QDateTime& last = QDateTime::currentDateTime()) {
    MessageItemInfoPointers records;
    for (int i = 0; i < count; ++i) {
        records << Record(first_id + i, other_id, QStringLiteral("第%1条").arg(first_id + i),
                          last.addSecs(60 * (i - count + 1)));
    }
    return records;
}

// "<message folder>/<image|audio|video|file>/<name>", where a download of that name goes.
inline QString MediaPath(int msg_type, const QString& name) {
    return QStringLiteral("%1/%2/%3")
        .arg(Account::MsgPath(), AttachmentPaths::FolderName(msg_type), name);
}

inline bool WriteFile(const QString& path, const QByteArray& data) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

inline QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool SavePicture(const QString& path, const QSize& size, const char* format = "PNG") {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    return image.save(path, format);
}

// The rows of a conversation as "sep <date>" for a day separator, else "<side> <text>" with ">"
// for one's own messages.
inline QStringList Rows(const ChatView* view) {
    QStringList rows;
    for (int row = 0; row < view->count(); ++row) {
        const Bubble* bubble = view->BubbleAt(row);
        if (bubble->msg_type == Bubble::kSeparator)
            rows << "sep " + bubble->content;
        else
            rows << (bubble->side == Bubble::kRight ? "> " : "< ") + bubble->text;
    }
    return rows;
}

// The widget of `row`, scrolled into sight; null when none appears.
inline MessageItem* ShownItem(ChatView* view, int row) {
    view->scrollToItem(view->item(row));
    return QTest::qWaitFor([&] { return view->ItemAt(row) != nullptr; }) ? view->ItemAt(row)
                                                                         : nullptr;
}

}  // namespace chat_test
