// Two teachers chatting through platform-sim, each in turn running the whole engine as the
// main window would: messages, files and read receipts travel both ways.

#include <QtTest>

#include "EngineTestEnv.h"
#include "engine/EngineMetaTypes.h"
#include "engine/HeartBeatMsg.h"
#include "engine/LoginWatchdog.h"
#include "engine/MsgController.h"
#include "engine/MsgLoader.h"
#include "engine/MsgParse.h"
#include "engine/MsgSendReceive.h"
#include "engine/ResourceDownloader.h"
#include "tests/support/SimServer.h"

using namespace engine_test;

namespace {

constexpr int kZhangLei = 10001;
constexpr int kWangFang = 10002;

// One signed-in user with a running engine; its records are freed as the widgets would.
class Session {
public:
    Session(SimServer& sim, const QString& login, int user_id, bool fresh) {
        ok_ = SignInAs(login, user_id, sim.UnitRecord(), sim.OpenSession(login), fresh);
        controller_.Init();
        MsgParse* parse = controller_.Parse();
        QObject::connect(parse, &MsgParse::update_connect_list_ui, &context_,
                         [](ConnectListItemInfoPointers list) { qDeleteAll(list); });
        QObject::connect(parse, &MsgParse::msgs_sys_has_receive, &context_,
                         [](MessageSysItemInfoPointers list) { qDeleteAll(list); });
        QObject::connect(controller_.Loader(), &MsgLoader::msg_load_ready, &context_,
                         [](MessageItemInfoPointers list) { qDeleteAll(list); });
        QObject::connect(controller_.HeartBeat(), &HeartBeatMsg::heart_msg_eid, &watchdog_,
                         &LoginWatchdog::OnHeartMsgEid);
    }

    bool Ok() const { return ok_; }
    MsgController& Engine() { return controller_; }
    LoginWatchdog& Watchdog() { return watchdog_; }
    void Start() { controller_.Start(); }

    void Send(int other_id, const QString& name, int msg_type, int tmp_id, const QString& text) {
        QMetaObject::invokeMethod(controller_.Parse(), "OnMsgSend", Qt::QueuedConnection,
                                  Q_ARG(int, other_id), Q_ARG(QString, name), Q_ARG(int, msg_type),
                                  Q_ARG(int, tmp_id), Q_ARG(QString, text));
    }
    void MarkRead(int other_id) {
        QMetaObject::invokeMethod(controller_.SendReceive(), "OnMsgIsReaded", Qt::QueuedConnection,
                                  Q_ARG(int, other_id));
    }

private:
    bool ok_ = false;
    QObject context_;
    LoginWatchdog watchdog_;
    MsgController controller_;
};

QVariantMap Message(qint64 message_id) {
    return Row(QStringLiteral("SELECT * FROM message_all WHERE message_id=:id"),
               {{"id", message_id}});
}

}  // namespace

class TestSimChat : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        EngineMetaTypes::Register();
        QVERIFY(sim_.IsRunning());
    }

    void messageAndReceiptTravelBothWays();
    void pictureArrivesByteExact();
    void controlMessageRaisesTheBubble();

private:
    SimServer sim_{2000, 300};
};

void TestSimChat::messageAndReceiptTravelBothWays() {
    const QString text = QStringLiteral("a+b=c & 100% \"引号\" it's 中文 [微笑]");
    int sent_id = 0;
    {
        Session zhang(sim_, "zhanglei", kZhangLei, true);
        QVERIFY(zhang.Ok());
        QSignalSpy states(zhang.Engine().Parse(), &MsgParse::update_msg_send_reback_state);
        zhang.Start();
        zhang.Send(kWangFang, QStringLiteral("王芳"), 1, 7, text);
        QVERIFY(states.wait());
        QCOMPARE(states.at(0).at(2).toInt(), 1);
        sent_id = states.at(0).at(3).toInt();
        QVERIFY(sent_id > 0);
        // The poll brings the message back onto the same row.
        QTRY_VERIFY(!Message(sent_id).isEmpty());
        QCOMPARE(Count(QStringLiteral("SELECT COUNT(*) FROM message_all WHERE message_id=:id"),
                       {{"id", sent_id}}),
                 1);
    }
    {
        Session wang(sim_, "wangfang", kWangFang, true);
        QVERIFY(wang.Ok());
        QSignalSpy bubble(wang.Engine().Parse(), &MsgParse::update_msg_count_to_bubble_on_main_wid);
        wang.Start();
        QTRY_VERIFY(!Message(sent_id).isEmpty());
        const QVariantMap received = Message(sent_id);
        QCOMPARE(received.value("content").toString(), text);
        QCOMPARE(received.value("other_id").toInt(), kZhangLei);
        QCOMPARE(received.value("send_or_receive").toInt(), 0);
        QTRY_VERIFY(!bubble.isEmpty() && bubble.last().at(0).toInt() > 0);

        wang.MarkRead(kZhangLei);
        // The read log comes back to the reader's own devices too.
        QTRY_COMPARE(Message(sent_id).value("is_read").toInt(), 2);
        QTRY_COMPARE(Number(kZhangLei), 0);
    }
    {
        Session zhang(sim_, "zhanglei", kZhangLei, false);
        QVERIFY(zhang.Ok());
        QSignalSpy read(zhang.Engine().Parse(), &MsgParse::update_msg_is_read);
        zhang.Start();
        QTRY_COMPARE(Message(sent_id).value("is_read").toInt(), 2);
        QTRY_VERIFY(read.contains(QList<QVariant>{kWangFang, sent_id}));
    }
}

void TestSimChat::pictureArrivesByteExact() {
    QByteArray picture;
    for (int i = 0; i < 30000; ++i)
        picture.append(static_cast<char>((i * 31) % 256));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("课堂 照片+1.png"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(picture);
    file.close();
    int sent_id = 0;
    {
        Session zhang(sim_, "zhanglei", kZhangLei, true);
        QSignalSpy states(zhang.Engine().Parse(), &MsgParse::update_msg_send_reback_state);
        zhang.Start();
        zhang.Send(kWangFang, QStringLiteral("王芳"), 3, 8, path);
        QVERIFY(states.wait());
        QCOMPARE(states.at(0).at(2).toInt(), 1);
        sent_id = states.at(0).at(3).toInt();
    }
    Session wang(sim_, "wangfang", kWangFang, true);
    wang.Start();
    QTRY_VERIFY(!Message(sent_id).isEmpty());
    const QString name = Message(sent_id).value("url").toString().section(QLatin1Char('|'), 1, 1);
    QCOMPARE(name, QStringLiteral("课堂 照片+1.png"));
    const QString local = ResourceDownloader::LocalPath(3, name);
    QTRY_VERIFY(QFileInfo(local).size() == picture.size());
    QFile downloaded(local);
    QVERIFY(downloaded.open(QIODevice::ReadOnly));
    QCOMPARE(downloaded.readAll(), picture);
}

void TestSimChat::controlMessageRaisesTheBubble() {
    Session zhang(sim_, "zhanglei", kZhangLei, true);
    QSignalSpy tray(zhang.Engine().Parse(), &MsgParse::notify_tray);
    QSignalSpy bubble(zhang.Engine().Parse(), &MsgParse::update_msg_count_to_bubble_on_main_wid);
    QSignalSpy re_login(&zhang.Watchdog(), &LoginWatchdog::re_login);
    zhang.Start();
    // The history of the demo account comes in the first reply.
    QTRY_VERIFY(!bubble.isEmpty());
    const int before = bubble.last().at(0).toInt();
    tray.clear();
    const qint64 id =
        sim_.SendChat("wangfang", "zhanglei", QStringLiteral("张校长，材料已经发您了"));
    QTRY_VERIFY(!Message(id).isEmpty());
    QTRY_VERIFY(!tray.isEmpty());
    QTRY_COMPARE(bubble.last().at(0).toInt(), before + 1);
    QVERIFY(re_login.isEmpty());

    // The session ends on the platform: the next answer sends the user back to login.
    sim_.ExpireSessions("zhanglei");
    QTRY_COMPARE(re_login.size(), 1);
}

QTEST_GUILESS_MAIN(TestSimChat)
#include "tst_sim_chat.moc"
