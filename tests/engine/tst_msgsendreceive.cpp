// Posting messages, files and receipts: the fields as the server must read them, the send
// results, and the size limit for attachments.

#include <QtTest>

#include "EngineTestEnv.h"
#include "engine/AttachmentPaths.h"
#include "engine/EngineMetaTypes.h"
#include "engine/MessageStore.h"
#include "engine/MsgSendReceive.h"
#include "tests/support/TestMain.h"

using namespace engine_test;

namespace {

const QStringList kSenderFields = {"User_ID",          "UserName",   "Other_ID", "OtherName",
                                   "ClientMessage_ID", "ClientCode", "Unit_ID",  "SessionID"};

}  // namespace

class TestMsgSendReceive : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { EngineMetaTypes::Register(); }
    void init() {
        QVERIFY(SignIn(server_->Url("/")));
        sender_.reset(new MsgSendReceive);
        sender_->OnStart();
    }

    void textArrivesAsTyped();
    void sendResultsAreReported();
    void fileArrivesByteExact();
    void receiptsListTheMessageIds();

private:
    QScopedPointer<TestHttpServer> server_{new TestHttpServer};
    QScopedPointer<MsgSendReceive> sender_;
};

void TestMsgSendReceive::textArrivesAsTyped() {
    server_->Reply(200, Envelope({{"EID", "0"}, {"Message_ID", "9001"}}));
    QSignalSpy states(sender_.data(), &MsgSendReceive::msg_send_state);
    const QString text = "a+b=c & d%20 \"它's\" 中文 [微笑]\n第二行";
    sender_->OnMsgSend(2001, "李 老师+", 55, 1, text);
    QVERIFY(states.wait());
    const TestHttpServer::Request& request = server_->Requests().last();
    QVERIFY(request.target.endsWith("/BasePlate/Interface/IInterfaceJson.asmx/Message_Send"));
    QCOMPARE(FieldNames(request), kSenderFields + QStringList("Content"));
    QCOMPARE(Field(request, "Content"), text);
    QCOMPARE(Field(request, "OtherName"), QString("李 老师+"));
    QCOMPARE(Field(request, "ClientMessage_ID"), QString("55"));
    QCOMPARE(Field(request, "ClientCode"), Account::DeviceId());
    QCOMPARE(states.at(0), (QList<QVariant>{55, 1, "9001"}));
}

void TestMsgSendReceive::sendResultsAreReported() {
    QSignalSpy states(sender_.data(), &MsgSendReceive::msg_send_state);
    QSignalSpy received(server_.data(), &TestHttpServer::received);
    server_->Reply(200, Envelope({{"EID", "7"}, {"ErrorMessage", "对方不是好友"}}));
    sender_->OnMsgSend(2001, "李老师", 1, 1, "x");
    QVERIFY(states.wait());
    QCOMPARE(states.at(0), (QList<QVariant>{1, 0, "对方不是好友"}));
    // No answer to go by: the row stays "being sent".
    server_->Reply(500, Envelope({{"EID", "0"}, {"Message_ID", "3"}}));
    sender_->OnMsgSend(2001, "李老师", 2, 1, "x");
    QVERIFY(received.wait());
    server_->Reply(200, "not json");
    sender_->OnMsgSend(2001, "李老师", 3, 1, "x");
    QVERIFY(received.wait());
    // A later message is answered after both.
    server_->Reply(200, Envelope({{"EID", "0"}, {"Message_ID", "4"}}));
    sender_->OnMsgSend(2001, "李老师", 4, 1, "x");
    QVERIFY(states.wait());
    QCOMPARE(states.size(), 2);
    QCOMPARE(states.at(1), (QList<QVariant>{4, 1, "4"}));
}

void TestMsgSendReceive::fileArrivesByteExact() {
    server_->Reply(200, Envelope({{"EID", "0"}, {"Message_ID", "12"}}));
    QByteArray content;
    for (int i = 0; i < 70000; ++i)
        content.append(static_cast<char>((i * 7 + i / 256) % 256));
    QTemporaryDir dir;
    QFile file(dir.filePath("图 片+1.png"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();
    QSignalSpy states(sender_.data(), &MsgSendReceive::msg_send_state);
    sender_->OnMsgSend(-300, "语文组", 56, 3, file.fileName());
    QVERIFY(states.wait());
    const TestHttpServer::Request& request = server_->Requests().last();
    QVERIFY(request.target.endsWith("Message_SendFile"));
    QCOMPARE(FieldNames(request),
             kSenderFields + QStringList({"MsgType", "FileName", "Base64Data"}));
    QCOMPARE(Field(request, "FileName"), QString("图 片+1.png"));
    QCOMPARE(QByteArray::fromBase64(Field(request, "Base64Data").toLatin1()), content);
    // Accepted: found where it was sent from once the server's url replaces the path.
    QCOMPARE(
        AttachmentPaths().Find(Attachment::FromUrl(3, "MsgFile/1.png|图 片+1.png", true, "12")),
        file.fileName());

    // Past the limit the file is not even read.
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(file.resize(MsgSendReceive::kMaxFileBytes + 1));
    file.close();
    QSignalSpy refused(sender_.data(), &MsgSendReceive::catch_exceptions);
    const int requests = server_->Requests().size();
    sender_->OnMsgSend(2001, "李老师", 57, 5, file.fileName());
    QCOMPARE(refused.size(), 1);
    sender_->OnMsgSend(2001, "李老师", 58, 1, "after");
    QVERIFY(states.wait());
    QCOMPARE(states.last().at(0).toInt(), 58);
    QCOMPARE(server_->Requests().size(), requests + 1);
}

void TestMsgSendReceive::receiptsListTheMessageIds() {
    server_->Reply(200, Envelope({{"EID", "0"}}));
    const QList<QList<int>> rows = {
        {11, 2001, 0, 0}, {12, 2001, 1, 0}, {13, 2001, 2, 0}, {14, 2001, 0, 1}, {15, 2002, 0, 0}};
    for (const QList<int>& row : rows) {
        MessageRecord msg;
        msg.message_id = row.at(0);
        msg.other_id = row.at(1);
        msg.is_read = row.at(2);
        msg.send_or_receive = row.at(3);
        MessageStore::Insert(msg);
    }
    QSignalSpy received(server_.data(), &TestHttpServer::received);
    const int first = server_->Requests().size();
    sender_->OnMsgHasReceived(1, {1, 2, 3});
    QVERIFY(received.wait());
    sender_->OnMsgHasReceived(1, {7});
    QVERIFY(received.wait());
    sender_->OnMsgIsReaded(2001);
    QVERIFY(received.wait());
    const QList<TestHttpServer::Request> requests = server_->Requests().mid(first);
    QVERIFY(requests.at(0).target.endsWith("Message_ReadMulti"));
    QCOMPARE(FieldNames(requests.at(0)),
             (QStringList{"User_ID", "SessionID", "Unit_ID", "isRead", "MessageIDs"}));
    QCOMPARE(Field(requests.at(0), "isRead"), QString("1"));
    QCOMPARE(Field(requests.at(0), "MessageIDs"), QString("1,2,3,"));
    QCOMPARE(Field(requests.at(1), "MessageIDs"), QString("7"));
    QCOMPARE(Field(requests.at(2), "isRead"), QString("2"));
    QCOMPARE(Field(requests.at(2), "MessageIDs"), QString("11,12,"));
}

CORAL_TEST_GUILESS_MAIN(TestMsgSendReceive)
#include "tst_msgsendreceive.moc"
