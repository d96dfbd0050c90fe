// Two teachers chatting through platform-sim, each in turn running the whole engine as the
// main window would: messages, files and read receipts travel both ways.

#include <QtTest>

#include "SimEngine.h"
#include "engine/AttachmentPaths.h"
#include "engine/EngineMetaTypes.h"
#include "tests/support/TestMain.h"

using namespace engine_test;

namespace {

constexpr int kZhangLei = 10001;
constexpr int kWangFang = 10002;

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
        SimEngine zhang(sim_, "zhanglei", kZhangLei);
        QVERIFY(zhang.Ok());
        zhang.Start();
        text_id = zhang.Send(kWangFang, "王芳", 1, text);
        picture_id = zhang.Send(kWangFang, "王芳", 3, file.fileName());
        QVERIFY(text_id > 0 && picture_id > 0);
        // The poll brings each message back onto its own row.
        QTRY_VERIFY(Message(picture_id).value("url").toString().contains('|'));
        QCOMPARE(MessageCount(), Count("SELECT COUNT(DISTINCT message_id) FROM message_all"));
    }
    {
        SimEngine wang(sim_, "wangfang", kWangFang);
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

        QMetaObject::invokeMethod(wang.Controller()->SendReceive(), "OnMsgIsReaded",
                                  Qt::QueuedConnection, Q_ARG(int, kZhangLei));
        // The read logs come back to the reader's own devices too.
        QTRY_COMPARE(Message(text_id).value("is_read").toInt(), 2);
        QTRY_COMPARE(Number(kZhangLei), 0);
    }
    SimEngine zhang(sim_, "zhanglei", kZhangLei, false);
    QueuedSpy read(zhang.Controller()->Parse(), &MsgParse::update_msg_is_read);
    zhang.Start();
    QTRY_COMPARE(Message(text_id).value("is_read").toInt(), 2);
    QTRY_VERIFY(read.contains(QList<QVariant>{kWangFang, text_id}));
}

void TestSimChat::controlMessageRaisesTheBubble() {
    SimEngine zhang(sim_, "zhanglei", kZhangLei);
    QueuedSpy tray(zhang.Controller()->Parse(), &MsgParse::notify_tray);
    QueuedSpy bubble(zhang.Controller()->Parse(),
                     &MsgParse::update_msg_count_to_bubble_on_main_wid);
    QSignalSpy re_login(&zhang.Watchdog(), &LoginWatchdog::re_login);
    zhang.Start();
    // The start shows what was unread before; the history of the demo account, with its unread
    // messages, comes in the first reply.
    QTRY_VERIFY(!bubble.isEmpty() && bubble.last().at(0).toInt() > 0);
    const int before = bubble.last().at(0).toInt();
    tray.clear();
    const qint64 id = sim_.SendChat("wangfang", "zhanglei", "张校长，材料已经发您了");
    QTRY_VERIFY(!Message(id).isEmpty());
    QTRY_VERIFY(!tray.isEmpty());
    QTRY_COMPARE(bubble.last().at(0).toInt(), before + 1);
    QVERIFY(re_login.isEmpty());

    // The session ends on the platform: the next answer sends the user back to login. (The
    // main window then ends the engine; here it goes on asking, and is answered so again.)
    sim_.ExpireSessions("zhanglei");
    QTRY_VERIFY(!re_login.isEmpty());
}

CORAL_TEST_GUILESS_MAIN(TestSimChat)
#include "tst_sim_chat.moc"
