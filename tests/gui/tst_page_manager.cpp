// The page manager: one page per conversation, what it asks the loader for, where records,
// send results, read marks and download progress go, when a conversation counts as read, and
// that every record handed over is freed exactly once.

#include <QFrame>
#include <QSignalSpy>
#include <QtTest>

#include "ChatTestUtil.h"
#include "DeleteWatch.h"
#include "chat/ChatView.h"
#include "chat/InputView.h"
#include "chat/MessagePage.h"
#include "chat/MessagePageMgr.h"
#include "tests/support/TestMain.h"

using namespace chat_test;

namespace {

QList<int> Ids(const QSignalSpy& spy) {
    QList<int> ids;
    for (const QVariantList& call : spy)
        ids << call.at(0).toInt();
    return ids;
}

}  // namespace

class TestPageManager : public QObject {
    Q_OBJECT
private slots:
    void init() {
        QVERIFY(SignIn());
        g_watch_count = 0;
    }
    void cleanup() { ReleaseWatched(); }
    void openingAskstheLoaderOnce();
    void emptyPagesAskAgainAndTakeTheirName();
    void everyRecordIsFreedOnce();
    void downloadProgressRegistry();
    void sendResultsAndReadMarksReachTheirPage();
    void readOnlyWhileLookedAt();
};

void TestPageManager::openingAskstheLoaderOnce() {
    MessagePageMgr mgr;
    QSignalSpy load(&mgr, &MessagePageMgr::update_msg_page);
    QSignalSpy read(&mgr, &MessagePageMgr::update_isread_state);
    mgr.OnConnectItemChanged(kWangFang, "王芳");
    mgr.OnMsgPageDataReady(Records(1, 3, kWangFang));
    mgr.OnConnectItemChanged(kGroup, "运动会筹备讨论组");
    mgr.OnConnectItemChanged(kWangFang, QString());
    QCOMPARE(load.size(), 2);
    QCOMPARE(load.at(0), QVariantList({kWangFang, 0, 0}));
    QCOMPARE(load.at(1), QVariantList({kGroup, 0, 0}));
    QCOMPARE(Ids(read), QList<int>({kWangFang, kGroup, kWangFang}));
    QCOMPARE(mgr.CurrentId(), kWangFang);
    QCOMPARE(mgr.CurrentWidget(), mgr.Page(kWangFang));
    QCOMPARE(mgr.Page(kWangFang)->Title(), QString("王芳"));

    // The system messages have their page from the start.
    mgr.OnConnectItemChanged(0, "系统消息");
    QCOMPARE(load.size(), 2);
    QCOMPARE(Ids(read).last(), 0);
    QVERIFY(mgr.CurrentWidget() != mgr.Page(kWangFang));
    QCOMPARE(mgr.CurrentId(), kWangFang);

    // A scrolled page asks for what lies before it.
    emit mgr.Page(kWangFang)->scroll_to_top(kWangFang, 1, 3);
    QTRY_COMPARE(load.size(), 3);
    QCOMPARE(load.at(2), QVariantList({kWangFang, 1, 3}));
}

void TestPageManager::emptyPagesAskAgainAndTakeTheirName() {
    MessagePageMgr mgr;
    QSignalSpy load(&mgr, &MessagePageMgr::update_msg_page);
    mgr.OnConnectItemChanged(10005, "孙浩");
    mgr.OnConnectItemChanged(kWangFang, "王芳");
    mgr.OnConnectItemChanged(10005, QString());
    QCOMPARE(Ids(load), QList<int>({10005, kWangFang, 10005}));
    mgr.Page(10005)->SetTitle(QString());
    mgr.OnMsgPageNullData(10005);
    QCOMPARE(mgr.Page(10005)->Title(), QString("孙浩"));
    mgr.OnMsgPageNullData(10006);
}

void TestPageManager::everyRecordIsFreedOnce() {
    MessagePageMgr mgr;
    mgr.OnConnectItemChanged(kWangFang, "王芳");
    mgr.OnMsgPageDataReady(Watch(Records(1, 5, kWangFang)));
    // A conversation without a page: dropped, and freed all the same.
    mgr.OnMsgPageDataReady(Watch(Records(1, 4, 10005)));
    mgr.OnMsgPageDataReady({});
    auto* sys = new MessageSysItemInfo;
    sys->remind_id = 9417;
    sys->other_name = "通知";
    mgr.OnUpdateMsgSysPage(Watch(MessageSysItemInfoPointers({sys, new MessageSysItemInfo})));
    QCOMPARE(g_watch_count, 11);
    QVERIFY(AllFreedOnce());
    QCOMPARE(mgr.Page(kWangFang)->View()->count(), 6);
    QVERIFY(!mgr.Page(10005));
}

void TestPageManager::downloadProgressRegistry() {
    MessagePageMgr mgr;
    QStringList shown;
    QObject one, two, three;
    auto* gone = new QObject;
    const auto show = [&shown](const QString& name) {
        return [&shown, name](const QString& percent) { shown << name + "=" + percent; };
    };
    mgr.Downloads().Add("1", &one, show("1"));
    mgr.Downloads().Add("2", &two, show("2"));
    mgr.Downloads().Add("3", &three, show("3"));
    mgr.Downloads().Add("4", gone, show("4"));
    delete gone;
    mgr.OnUpdateDownloadPercent(
        {{"1", "55"}, {"2", "100"}, {"3", "err: 文件不存在"}, {"4", "20"}, {"5", "30"}});
    shown.sort();
    QCOMPARE(shown, QStringList({"1=55", "2=100", "3=err: 文件不存在"}));
    QVERIFY(mgr.Downloads().Contains("1"));
    QCOMPARE(mgr.Downloads().Size(), 1);
    mgr.OnUpdateDownloadPercent({{"1", "100"}});
    QCOMPARE(mgr.Downloads().Size(), 0);
}

void TestPageManager::sendResultsAndReadMarksReachTheirPage() {
    MessagePageMgr mgr;
    QSignalSpy sent(&mgr, &MessagePageMgr::send_msg);
    mgr.OnConnectItemChanged(kWangFang, "王芳");
    mgr.OnConnectItemChanged(10005, "孙浩");
    for (int other_id : {kWangFang, 10005}) {
        mgr.Page(other_id)->Input()->setPlainText("周五开会");
        mgr.Page(other_id)->OnSendClicked();
    }
    QTRY_COMPARE(sent.size(), 2);
    QCOMPARE(sent.at(0), QVariantList({kWangFang, "王芳", 1, 1, "周五开会"}));
    mgr.OnUpdateMsgStateReback(kWangFang, 1, 1, "900");
    mgr.OnUpdateMsgStateReback(10005, 1, 0, "会话已失效");
    mgr.OnUpdateMsgIsRead(kWangFang, 900);
    mgr.OnUpdateMsgIsRead(10009, 900);
    ChatView* wang = mgr.Page(kWangFang)->View();
    ChatView* sun = mgr.Page(10005)->View();
    QCOMPARE(wang->BubbleAt(wang->count() - 1)->state, 2);
    QCOMPARE(sun->BubbleAt(sun->count() - 1)->state, -1);
}

void TestPageManager::readOnlyWhileLookedAt() {
    MessagePageMgr mgr;
    QSignalSpy read(&mgr, &MessagePageMgr::update_isread_state);
    // Whatever a fill asks for arrives queued; this comes after it.
    const auto settle = [&mgr] {
        bool done = false;
        QMetaObject::invokeMethod(
            &mgr, [&done] { done = true; }, Qt::QueuedConnection);
        QTRY_VERIFY(done);
    };
    mgr.Frame()->resize(600, 600);
    mgr.Frame()->show();
    mgr.OnConnectItemChanged(kWangFang, "王芳");
    mgr.OnMsgPageDataReady(Records(1, 2, kWangFang));
    settle();
    QCOMPARE(Ids(read), QList<int>({kWangFang, kWangFang}));

    // Hidden (window closed to the tray): what arrives waits until the page is seen again.
    read.clear();
    mgr.Frame()->hide();
    mgr.OnMsgPageDataReady(Records(3, 2, kWangFang));
    settle();
    QVERIFY(read.isEmpty());
    mgr.Frame()->show();
    QTRY_VERIFY(!read.isEmpty());
    QCOMPARE(read.last().at(0).toInt(), kWangFang);

    // Minimised the same, until restored.
    mgr.Frame()->setWindowState(Qt::WindowMinimized);
    read.clear();
    mgr.OnMsgPageDataReady(Records(7, 1, kWangFang));
    settle();
    QVERIFY(read.isEmpty());
    mgr.Frame()->setWindowState(Qt::WindowNoState);
    QTRY_VERIFY(!read.isEmpty());

    // Looking at the system messages does not read the conversation behind them.
    mgr.OnConnectItemChanged(0, QString());
    read.clear();
    mgr.OnMsgPageDataReady(Records(8, 1, kWangFang));
    settle();
    QVERIFY(read.isEmpty());
    mgr.OnConnectItemChanged(kWangFang, QString());
    QCOMPARE(Ids(read), QList<int>({kWangFang}));
}

CORAL_TEST_MAIN(TestPageManager)
#include "tst_page_manager.moc"
