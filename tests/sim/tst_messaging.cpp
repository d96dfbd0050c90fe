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

quint32 U32(const QByteArray& data, int at) {
    return qFromLittleEndian<quint32>(data.constData() + at);
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
// group member's, a file's, and the refusals; and the demo history, which offers an attachment of
// every kind, each a file the desktop's programs and ffmpeg can read.
class TestMessaging : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void demoHistoryHasEveryKind();
    void ownMessageEchoesWithClientIdAndCode();
    void groupMessagesFanOutWithNegatedSender();
    void refusedMessages();
    void filesKeepTheirUrlForms();

private:
    FormBody SendBody(const QString& user_id, const QString& session, const QString& other,
                      int client_id, const QString& code) const;
    QByteArray Fetch(int type);
    // A file as the client downloads it; the EID of the answer beside it.
    QPair<QByteArray, QString> Download(const QString& user_id, const QString& session,
                                        const QString& message_id) {
        const Json reply =
            Post(Services::InterfaceUrlSlashed(sim_.UnitBase(), "MessageFile_Download"),
                 FormBody()
                     .Add("User_ID", user_id)
                     .Add("SessionID", session)
                     .Add("Message_ID", message_id));
        return {QByteArray::fromBase64(reply.Text("Velta.Base64Data").toLatin1()),
                reply.Text("Velta.EID")};
    }

    SimServer sim_{1000};
    QString demo_session_;
    // msg_type -> "Message_ID|MsgUrl" of each attachment of 张磊's demo history
    QMultiMap<int, QString> attachments_;
};

void TestMessaging::initTestCase() {
    QVERIFY(sim_.IsRunning());
    // The attachments of 张磊's demo history, before any test sends more.
    demo_session_ = sim_.OpenSession("zhanglei");
    for (const QJsonValue& value : Messages(sim_, "10001", demo_session_)) {
        const QJsonObject message = value.toObject();
        const int type = message.value("MsgType").toString().toInt();
        if (type >= 2 && type <= 5) {
            attachments_.insert(type, message.value("Message_ID").toString() + '|' +
                                          message.value("MsgUrl").toString());
        }
    }
}

QByteArray TestMessaging::Fetch(int type) {
    return Get(sim_.UnitBase() + "Upload/" + attachments_.value(type).section('|', 1, 1));
}

void TestMessaging::demoHistoryHasEveryKind() {
    QVERIFY(attachments_.contains(2));
    const QByteArray picture = Fetch(3);
    QVERIFY(picture.startsWith("\x89PNG"));
    const QByteArray voice = Fetch(4);
    QVERIFY(voice.startsWith("RIFF") && voice.mid(8, 4) == "WAVE");
    // The length in the url is the sound's own.
    const int seconds = attachments_.value(4).section('|', 3, 3).toInt();
    QVERIFY(seconds > 0);
    QCOMPARE(U32(voice, 40) / U32(voice, 28), quint32(seconds));

    QTemporaryDir dir;
    const QString video = dir.filePath("clip.avi");
    QFile file(video);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(Fetch(5));
    file.close();
    QProcess probe;
    probe.start("ffprobe",
                {"-v", "error", "-count_frames", "-show_entries",
                 "stream=codec_type,width,height,nb_read_frames", "-of", "csv=p=0", video});
    if (!probe.waitForFinished(30000) || probe.exitStatus() != QProcess::NormalExit)
        QSKIP("no ffprobe to read the video (./test installs ffmpeg)");
    QCOMPARE(probe.readAllStandardOutput().trimmed(), QByteArray("video,224,168,30"));
}

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
            QCOMPARE(Download("10001", receiver, id).first, c.data);
            QVERIFY(Download("10002", sim_.OpenSession("wangfang"), id).second != "0");
        } else {
            QCOMPARE(Get(sim_.UnitBase() + "Upload/" + reference), c.data);
        }
    }
}

CORAL_TEST_GUILESS_MAIN(TestMessaging)
#include "tst_messaging.moc"
