#include <QtTest>

#include "sim/demo/SamplePictures.h"
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

}  // namespace

// The heartbeat and sending as the client meets them, and a demo history whose attachments the
// desktop and ffmpeg can read.
class TestMessaging : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void demoHistoryHasEveryKind();
    void echoesGroupFanOutAndRefusals();
    void filesKeepTheirUrlForms();
    void holdEndsWithEmptyLists();
    void expiredSessionsAnswerEid1();
    void readReceiptsBecomeStatusLogs();
    void remindersCarryCategoryAndUnreadNumbers();

private:
    FormBody SendBody(const QString& user_id, const QString& session, const QString& other,
                      int client_id, const QString& code) const;
    QByteArray Fetch(int type);
    Json Call(const char* method, const FormBody& body) {
        return Post(Services::InterfaceUrlSlashed(sim_.UnitBase(), method), body);
    }

    SimServer sim_{300};
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

// One's own message comes back to each of one's devices with its client id and code; in a group,
// to its members only, the sender negated with his own id beside it.
void TestMessaging::echoesGroupFanOutAndRefusals() {
    const QString device_a = sim_.OpenSession("zhanglei"), device_b = sim_.OpenSession("zhanglei");
    const QString member = sim_.OpenSession("zhaoli"), outsider = sim_.OpenSession("wangfang");
    const qint64 after = sim_.SendChat("wangfang", "zhanglei", "起点");
    const QString id = Call("Message_Send",
                            SendBody("10001", device_a, "-201", 41, "dev-A").Add("Content", "备课"))
                           .Text("Velta.Message_ID");
    QVERIFY(id.toLongLong() > after);
    for (const QString& device : {device_a, device_b}) {
        const QJsonObject echo = ById(Messages(sim_, "10001", device, after), id);
        QCOMPARE(echo.value("Send_ID").toString(), QString("10001"));
        QCOMPARE(echo.value("ClientMessage_ID").toString(), QString("41"));
        QCOMPARE(echo.value("ClientCode").toString(), QString("dev-A"));
    }
    const QJsonObject received = ById(Messages(sim_, "10004", member, after), id);
    QCOMPARE(received.value("Receive_ID").toString(), QString("-201"));
    QCOMPARE(received.value("Send_ID").toString(), QString("-10001"));
    QCOMPARE(received.value("Send_ID2").toString(), QString("10001"));
    QCOMPARE(received.value("ClientCode").toString(), QString());
    for (const QString& key : received.keys())
        QVERIFY2(received.value(key).isString(), qPrintable(key));
    QVERIFY(ById(Messages(sim_, "10002", outsider, after), id).isEmpty());

    // Refusals: not a member, nobody, no text, no session, an empty file.
    const auto eid = [&](const QString& other, const QString& text) {
        return Call("Message_Send", SendBody("10002", outsider, other, 1, "c").Add("Content", text))
            .Text("Velta.EID");
    };
    QCOMPARE(eid("10001", "ok"), QString("0"));
    for (const QString& other : {QString("-201"), QString("55555")})
        QVERIFY(eid(other, "not a member or nobody") != "0");
    QVERIFY(eid("10001", "") != "0");
    QCOMPARE(Call("Message_Send", SendBody("10002", "bogus", "10001", 1, "c").Add("Content", "x"))
                 .Text("Velta.EID"),
             QString("1"));
    const Json empty = Call("Message_SendFile", SendBody("10002", outsider, "10001", 2, "c")
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
    const QList<Case> cases = {
        {3, "照片 1+1.png", png, QString()},
        {4, "语音.wav", QByteArray::fromStdString(sample_pictures::Tone(2)), "|2"},
        {2, "计划 & 总结.docx", QByteArray(3000, 'd'), "|3"}};
    for (const Case& c : cases) {
        const Json sent = Call("Message_SendFile",
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
            // Nobody else may download it (its receiver gets it whole: gui/tst_chat_e2e).
            const FormBody other = FormBody()
                                       .Add("User_ID", "10002")
                                       .Add("SessionID", sim_.OpenSession("wangfang"))
                                       .Add("Message_ID", id);
            QVERIFY(Call("MessageFile_Download", other).Text("Velta.EID") != "0");
        } else {
            QCOMPARE(Get(sim_.UnitBase() + "Upload/" + reference), c.data);
        }
    }
}

void TestMessaging::holdEndsWithEmptyLists() {
    SimPoller user(sim_, "10001");
    const QString num = QString::number(user.NumPosition());
    const Json idle = user.Poll();
    QCOMPARE(idle.Text("Velta.EID"), QString("0"));
    for (const char* list : {"Velta.M", "Velta.ML", "Velta.B", "Velta.NumUpdate"}) {
        QVERIFY2(idle.Value(list).isArray(), list);
        QCOMPARE(idle.Array(list).size(), 0);
    }
    QCOMPARE(idle.Text("Velta.MaxNumUpdateLog_ID"), num);
}

void TestMessaging::expiredSessionsAnswerEid1() {
    SimServer sim(25000);
    QCOMPARE(Post(PollUrl(sim), PollBody("10001", "no-such-session")).Text("Velta.EID"),
             QString("1"));
    SimPoller user(sim, "10001");
    // A session is only good for its own user.
    QCOMPARE(Post(PollUrl(sim), PollBody("10002", user.Session())).Text("Velta.EID"), QString("1"));

    SimCall held(HttpBase::kPost, PollUrl(sim), user.Body());
    QTRY_COMPARE_WITH_TIMEOUT(sim.HeldPolls(), 1, 30000);
    QCOMPARE(sim.ExpireSessions("zhanglei"), 1);
    QVERIFY(held.Wait());
    QCOMPARE(held.Text("Velta.EID"), QString("1"));
    QVERIFY(!held.Text("Velta.ErrorMessage").isEmpty());

    const QString fresh = Post(Services::LoginUrl(sim.UnitBase()), LoginBody("zhanglei", "123456"))
                              .Text("Velta.SessionID");
    QCOMPARE(Post(PollUrl(sim), PollBody("10001", fresh)).Text("Velta.EID"), QString("0"));
}

void TestMessaging::readReceiptsBecomeStatusLogs() {
    SimPoller sender(sim_, "10002"), reader(sim_, "10001"), reader_elsewhere(sim_, "10001");
    QStringList ids;
    for (const QString& text : {"一", "二", "三"})
        ids << QString::number(sim_.SendChat("wangfang", "zhanglei", text));
    sender.Poll();
    reader_elsewhere.Poll();

    // Delivered only: no status log for anyone.
    QCOMPARE(reader.Receipt(1, ids.join(',') + ',').Text("Velta.EID"), QString("0"));
    QCOMPARE(sender.Poll().Array("Velta.ML").size(), 0);

    // Read: a log for the sender and the reader's other devices (its fields as the client reads
    // them: gui/tst_chat_e2e).
    QCOMPARE(reader.Receipt(2, ids.join(',') + ',').Text("Velta.EID"), QString("0"));
    for (SimPoller* side : {&sender, &reader_elsewhere}) {
        const QJsonArray logs = side->Poll().Array("Velta.ML");
        QCOMPARE(logs.size(), 3);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(logs.at(i).toObject().value("Message_ID").toString(), ids.at(i));
    }
    // Read twice makes no second log; a message of someone else's makes none at all.
    reader.Receipt(2, ids.first());
    const qint64 foreign = sim_.SendChat("zhaoli", "wangfang", "别人的");
    reader.Receipt(2, QString::number(foreign));
    QCOMPARE(sender.Poll().Array("Velta.ML").size(), 0);

    // A device that starts later sees both sides of the conversation as read.
    int read = 0;
    for (const QJsonValue& m : Messages(sim_, "10002", sim_.OpenSession("wangfang"))) {
        if (ids.contains(m.toObject().value("Message_ID").toString()))
            read += m.toObject().value("IsRead").toString() == "2";
    }
    QCOMPARE(read, 3);
    QVERIFY(reader.Receipt(2, "").Text("Velta.EID") != "0");

    // In a group, the log goes to the sender and the reader, not to the other members.
    SimPoller group_sender(sim_, "10007"), other(sim_, "10008");
    const QString in_group = QString::number(sim_.SendChat("wujun", "-301", "集合"));
    reader.Poll();
    other.Poll();
    reader.Receipt(2, in_group);
    for (SimPoller* side : {&group_sender, &reader}) {
        const QJsonArray logs = side->Poll().Array("Velta.ML");
        QCOMPARE(logs.size(), 1);
        QCOMPARE(logs.at(0).toObject().value("Receive_ID").toString(), QString("-301"));
        QCOMPARE(logs.at(0).toObject().value("Send_ID").toString(), QString("10007"));
    }
    QCOMPARE(other.Poll().Array("Velta.ML").size(), 0);
}

// What the client shows of these: gui/tst_chat_e2e.
void TestMessaging::remindersCarryCategoryAndUnreadNumbers() {
    SimPoller user(sim_, "10002");
    const qint64 id = sim_.Remind("wangfang", 2202, "报修完成", "17");
    const Json reply = user.Poll();
    const QJsonObject m = reply.Array("Velta.M").last().toObject();
    QCOMPARE(m.value("Message_ID").toString(), QString::number(id));
    QCOMPARE(QStringList({m.value("Send_ID").toString(), m.value("Send_ID2").toString(),
                          m.value("SendName").toString(), m.value("MsgUrl").toString()}),
             QStringList({"0", "2202", "保修状态提醒", "17"}));
    QCOMPARE(reply.Array("Velta.B").size(), 1);
    const QJsonObject update = reply.Array("Velta.NumUpdate").last().toObject();
    QCOMPARE(QStringList({update.value("Remind_ID").toString(), update.value("Num").toString(),
                          update.value("IsCount").toString()}),
             QStringList({"2202", "1", "1"}));
    QCOMPARE(reply.Text("Velta.MaxNumUpdateLog_ID"), update.value("NumUpdateLog_ID").toString());

    QVERIFY(sim_.SetUnread("wangfang", 9417, 5));
    QCOMPARE(user.Poll().Array("Velta.NumUpdate").last().toObject().value("Num").toString(),
             QString("5"));
    QVERIFY(!sim_.SetUnread("nobody", 9417, 5));
}

CORAL_TEST_GUILESS_MAIN(TestMessaging)
#include "tst_messaging.moc"
