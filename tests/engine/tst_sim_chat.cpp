// Two teachers chatting through platform-sim, each in turn running the whole engine as the
// main window would: messages, files and read receipts travel both ways.

#include <QtTest>

#include "EngineTestEnv.h"
#include "engine/AttachmentPaths.h"
#include "engine/EngineMetaTypes.h"
#include "engine/HeartBeatMsg.h"
#include "engine/LoginWatchdog.h"
#include "engine/MsgController.h"
#include "engine/MsgLoader.h"
#include "engine/MsgParse.h"
#include "engine/MsgSendReceive.h"
#include "engine/ResourceDownloader.h"
#include "tests/support/QueuedSpy.h"
#include "tests/support/SimServer.h"
#include "tests/support/TestMain.h"

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

    // Sends to 王芳 as her page would; the server's message id, 0 when refused.
    int Send(int msg_type, const QString& text) {
        QueuedSpy states(controller_.Parse(), &MsgParse::update_msg_send_reback_state);
        QMetaObject::invokeMethod(controller_.Parse(), "OnMsgSend", Qt::QueuedConnection,
                                  Q_ARG(int, kWangFang), Q_ARG(QString, "王芳"),
                                  Q_ARG(int, msg_type), Q_ARG(int, 7), Q_ARG(QString, text));
        return states.wait() && states.at(0).at(2).toInt() == 1 ? states.at(0).at(3).toInt() : 0;
    }

private:
    bool ok_ = false;
    QObject context_;
    LoginWatchdog watchdog_;
    MsgController controller_;
};

}  // namespace

class TestSimChat : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        EngineMetaTypes::Register();
        QVERIFY(sim_.IsRunning());
    }

    void messagesAndReceiptsTravelBothWays();
    void controlMessageRaisesTheBubble();

private:
    SimServer sim_{2000, 300};
};

void TestSimChat::messagesAndReceiptsTravelBothWays() {
    const QString text = "a+b=c & 100% \"引号\" it's 中文 [微笑]";
    QByteArray picture;
    for (int i = 0; i < 30000; ++i)
        picture.append(static_cast<char>((i * 31) % 256));
    QTemporaryDir dir;
    QFile file(dir.filePath("课堂 照片+1.png"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(picture);
    file.close();
    int text_id = 0;
    int picture_id = 0;
    {
        Session zhang(sim_, "zhanglei", kZhangLei, true);
        QVERIFY(zhang.Ok());
        zhang.Start();
        text_id = zhang.Send(1, text);
        picture_id = zhang.Send(3, file.fileName());
        QVERIFY(text_id > 0 && picture_id > 0);
        // The poll brings each message back onto its own row.
        QTRY_VERIFY(Message(picture_id).value("url").toString().contains('|'));
        QCOMPARE(MessageCount(), Count("SELECT COUNT(DISTINCT message_id) FROM message_all"));
    }
    {
        Session wang(sim_, "wangfang", kWangFang, true);
        QVERIFY(wang.Ok());
        wang.Start();
        QTRY_VERIFY(!Message(picture_id).isEmpty());
        QCOMPARE(Message(text_id).value("content").toString(), text);
        QCOMPARE(Message(text_id).value("other_id").toInt(), kZhangLei);
        QCOMPARE(Message(text_id).value("send_or_receive").toInt(), 0);
        const Attachment attachment = Attachment::FromUrl(
            3, Message(picture_id).value("url").toString(), false, QString::number(picture_id));
        QCOMPARE(attachment.name, QString("课堂 照片+1.png"));
        QString local;
        QTRY_VERIFY(!(local = AttachmentPaths().Find(attachment)).isEmpty());
        QFile downloaded(local);
        QVERIFY(downloaded.open(QIODevice::ReadOnly));
        QCOMPARE(downloaded.readAll(), picture);

        QMetaObject::invokeMethod(wang.Engine().SendReceive(), "OnMsgIsReaded",
                                  Qt::QueuedConnection, Q_ARG(int, kZhangLei));
        // The read logs come back to the reader's own devices too.
        QTRY_COMPARE(Message(text_id).value("is_read").toInt(), 2);
        QTRY_COMPARE(Number(kZhangLei), 0);
    }
    Session zhang(sim_, "zhanglei", kZhangLei, false);
    QueuedSpy read(zhang.Engine().Parse(), &MsgParse::update_msg_is_read);
    zhang.Start();
    QTRY_COMPARE(Message(text_id).value("is_read").toInt(), 2);
    QTRY_VERIFY(read.contains(QList<QVariant>{kWangFang, text_id}));
}

void TestSimChat::controlMessageRaisesTheBubble() {
    Session zhang(sim_, "zhanglei", kZhangLei, true);
    QueuedSpy tray(zhang.Engine().Parse(), &MsgParse::notify_tray);
    QueuedSpy bubble(zhang.Engine().Parse(), &MsgParse::update_msg_count_to_bubble_on_main_wid);
    QSignalSpy re_login(&zhang.Watchdog(), &LoginWatchdog::re_login);
    zhang.Start();
    // The history of the demo account comes in the first reply.
    QTRY_VERIFY(!bubble.isEmpty());
    const int before = bubble.last().at(0).toInt();
    tray.clear();
    const qint64 id = sim_.SendChat("wangfang", "zhanglei", "张校长，材料已经发您了");
    QTRY_VERIFY(!Message(id).isEmpty());
    QTRY_VERIFY(!tray.isEmpty());
    QTRY_COMPARE(bubble.last().at(0).toInt(), before + 1);
    QVERIFY(re_login.isEmpty());

    // The session ends on the platform: the next answer sends the user back to login.
    sim_.ExpireSessions("zhanglei");
    QTRY_COMPARE(re_login.size(), 1);
}

CORAL_TEST_GUILESS_MAIN(TestSimChat)
#include "tst_sim_chat.moc"
