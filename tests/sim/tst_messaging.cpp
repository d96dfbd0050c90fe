#include <QtTest>

#include "tests/sim/SimCall.h"
#include "tests/support/TestMain.h"

using namespace sim_call;

namespace {

QJsonObject ById(const QJsonArray& messages, const QString& id) {
    for (const QJsonValue& m : messages) {
        if (m.toObject().value("Message_ID").toString() == id)
            return m.toObject();
    }
    return QJsonObject();
}

// A 16-bit mono WAV file of the given length, silent.
QByteArray Wav(int seconds) {
    const quint32 rate = 8000, bytes = rate * 2 * static_cast<quint32>(seconds);
    QByteArray wav;
    QDataStream out(&wav, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData("RIFF", 4);
    out << quint32(36 + bytes);
    out.writeRawData("WAVEfmt ", 8);
    out << quint32(16) << quint16(1) << quint16(1) << rate << rate * 2 << quint16(2) << quint16(16);
    out.writeRawData("data", 4);
    out << bytes;
    return wav + QByteArray(static_cast<int>(bytes), '\0');
}

}  // namespace

// The message records the poll reply carries for each way a message travels: one's own echo, a
// group member's, a file's, and the refusals.
class TestMessaging : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(sim_.IsRunning()); }
    void ownMessageEchoesWithClientIdAndCode();
    void groupMessagesFanOutWithNegatedSender();
    void refusedMessages();
    void filesKeepTheirUrlForms();

private:
    FormBody SendBody(const QString& user_id, const QString& session, const QString& other,
                      int client_id, const QString& code) const;
    SimServer sim_{1000};
};

FormBody TestMessaging::SendBody(const QString& user_id, const QString& session,
                                 const QString& other, int client_id, const QString& code) const {
    return FormBody()
        .Add("User_ID", user_id)
        .Add("UserName", "ignored")
        .Add("Other_ID", other)
        .Add("OtherName", "ignored")
        .Add("ClientMessage_ID", client_id)
        .Add("ClientCode", code)
        .Add("Unit_ID", "1001")
        .Add("SessionID", session);
}

void TestMessaging::ownMessageEchoesWithClientIdAndCode() {
    const QString device_a = sim_.OpenSession("zhanglei"), device_b = sim_.OpenSession("zhanglei");
    const QString other = sim_.OpenSession("wangfang");
    const qint64 mine = LastId(Messages(sim_, "10001", device_a));
    const qint64 theirs = LastId(Messages(sim_, "10002", other));
    const QString text = QStringLiteral("a+b & 100% = 中文 [微笑]");

    const Json sent = Post(Services::InterfaceUrlSlashed(sim_.UnitBase(), "Message_Send"),
                           SendBody("10001", device_a, "10002", 41, "dev-A").Add("Content", text));
    QCOMPARE(sent.Text("Velta.EID"), QString("0"));
    const QString id = sent.Text("Velta.Message_ID");
    QVERIFY(id.toLongLong() > mine);

    for (const QString& device : {device_a, device_b}) {
        const QJsonObject echo = ById(Messages(sim_, "10001", device, mine), id);
        QCOMPARE(echo.value("Receive_ID").toString(), QString("10002"));
        QCOMPARE(echo.value("ReceiveName").toString(), QString("王芳"));
        QCOMPARE(echo.value("ClientMessage_ID").toString(), QString("41"));
        QCOMPARE(echo.value("ClientCode").toString(), QString("dev-A"));
        QCOMPARE(echo.value("MsgContent").toString(), text);
        QVERIFY(
            QDateTime::fromString(echo.value("SendDate").toString(), "yyyy/M/d H:mm:ss").isValid());
    }
    // The receiver sees the sender's ids, never the sender's client id and code.
    const QJsonObject received = ById(Messages(sim_, "10002", other, theirs), id);
    QCOMPARE(received.value("Send_ID").toString(), QString("10001"));
    QCOMPARE(received.value("SendName").toString(), QString("张磊"));
    QCOMPARE(received.value("ClientMessage_ID").toString(), QString("0"));
    QCOMPARE(received.value("ClientCode").toString(), QString());
    for (const QString& key : received.keys())
        QVERIFY2(received.value(key).isString(), qPrintable(key));
}

void TestMessaging::groupMessagesFanOutWithNegatedSender() {
    const QStringList members = {"10001", "10004"};
    QMap<QString, QString> sessions;
    QMap<QString, qint64> after;
    for (const QString& member : members + QStringList{"10002"}) {
        sessions[member] = sim_.OpenSession(member);
        after[member] = LastId(Messages(sim_, member, sessions[member]));
    }
    const Json sent =
        Post(Services::InterfaceUrlSlashed(sim_.UnitBase(), "Message_Send"),
             SendBody("10004", sessions["10004"], "-201", 7, "dev-Z").Add("Content", "备课"));
    const QString id = sent.Text("Velta.Message_ID");
    QVERIFY(!id.isEmpty());

    for (const QString& member : members) {
        const QJsonObject m = ById(Messages(sim_, member, sessions[member], after[member]), id);
        QCOMPARE(m.value("Receive_ID").toString(), QString("-201"));
        QCOMPARE(m.value("ReceiveName").toString(), QString("三年级备课组"));
        if (member == "10004") {
            QCOMPARE(m.value("Send_ID").toString(), QString("10004"));
            QCOMPARE(m.value("ClientMessage_ID").toString(), QString("7"));
            QCOMPARE(m.value("ClientCode").toString(), QString("dev-Z"));
        } else {
            QCOMPARE(m.value("Send_ID").toString(), QString("-10004"));
            QCOMPARE(m.value("Send_ID2").toString(), QString("10004"));
            QCOMPARE(m.value("SendName").toString(), QString("赵丽"));
        }
    }
    QVERIFY(ById(Messages(sim_, "10002", sessions["10002"], after["10002"]), id).isEmpty());

    // Discussion groups travel the same way, under their negated id.
    const qint64 id2 = sim_.SendChat("wujun", "-301", "跑道");
    const QJsonObject d =
        ById(Messages(sim_, "10001", sessions["10001"], after["10001"]), QString::number(id2));
    QCOMPARE(d.value("Receive_ID").toString(), QString("-301"));
    QCOMPARE(d.value("Send_ID").toString(), QString("-10007"));
}

void TestMessaging::refusedMessages() {
    const QString session = sim_.OpenSession("wangfang");
    const QString url = Services::InterfaceUrlSlashed(sim_.UnitBase(), "Message_Send");
    const auto eid = [&](const QString& other, const QString& text) {
        return Post(url, SendBody("10002", session, other, 1, "c").Add("Content", text))
            .Text("Velta.EID");
    };
    QCOMPARE(eid("10001", "ok"), QString("0"));
    for (const QString& other : {QString("-201"), QString("55555")})
        QVERIFY(eid(other, "not a member or nobody") != "0");
    QVERIFY(eid("10001", "") != "0");
    QCOMPARE(Post(url, SendBody("10002", "bogus", "10001", 1, "c").Add("Content", "x"))
                 .Text("Velta.EID"),
             QString("1"));
    const Json empty = Post(Services::InterfaceUrlSlashed(sim_.UnitBase(), "Message_SendFile"),
                            SendBody("10002", session, "10001", 2, "c")
                                .Add("MsgType", 2)
                                .Add("FileName", "a.txt")
                                .Add("Base64Data", ""));
    QVERIFY(empty.Text("Velta.EID") != "0");
    QVERIFY(!empty.Text("Velta.ErrorMessage").isEmpty());
}

void TestMessaging::filesKeepTheirUrlForms() {
    const QString sender = sim_.OpenSession("zhaoli"), receiver = sim_.OpenSession("zhanglei");
    const qint64 after = LastId(Messages(sim_, "10001", receiver));
    struct Case {
        int type;
        QString name;
        QByteArray data;
        QString tail;
    };
    const QByteArray png = QByteArray("\x89PNG\r\n\x1a\n", 8) + QByteArray(500, 'p');
    const QList<Case> cases = {{3, "照片 1+1.png", png, QString()},
                               {4, "语音.wav", Wav(2), "|2"},
                               {2, "计划 & 总结.docx", QByteArray(3000, 'd'), "|3"},
                               {5, "clip.mp4", QByteArray(700, 'v'), QString()}};
    for (const Case& c : cases) {
        const Json sent = Post(Services::InterfaceUrlSlashed(sim_.UnitBase(), "Message_SendFile"),
                               SendBody("10004", sender, "10001", 9, "dev")
                                   .Add("MsgType", c.type)
                                   .Add("FileName", c.name)
                                   .Add("Base64Data", QString::fromLatin1(c.data.toBase64())));
        QCOMPARE(sent.Text("Velta.EID"), QString("0"));
        const QString id = sent.Text("Velta.Message_ID");
        const QJsonObject m = ById(Messages(sim_, "10001", receiver, after), id);
        QCOMPARE(m.value("MsgType").toString(), QString::number(c.type));
        QCOMPARE(m.value("MsgContent").toString(), QString());
        const QString url = m.value("MsgUrl").toString();
        const QString reference = url.section('|', 0, 0);
        QCOMPARE(url, reference + "|" + c.name + c.tail);

        if (c.type == 2) {
            const FormBody body =
                FormBody().Add("User_ID", "10001").Add("SessionID", receiver).Add("Message_ID", id);
            const QString download =
                Services::InterfaceUrlSlashed(sim_.UnitBase(), "MessageFile_Download");
            QCOMPARE(
                QByteArray::fromBase64(Post(download, body).Text("Velta.Base64Data").toLatin1()),
                c.data);
            const QString stranger = sim_.OpenSession("wangfang");
            const Json refused = Post(download, FormBody()
                                                    .Add("User_ID", "10002")
                                                    .Add("SessionID", stranger)
                                                    .Add("Message_ID", id));
            QVERIFY(refused.Text("Velta.EID") != "0");
        } else {
            QCOMPARE(Get(sim_.UnitBase() + "Upload/" + reference), c.data);
        }
    }
}

CORAL_TEST_GUILESS_MAIN(TestMessaging)
#include "tst_messaging.moc"
