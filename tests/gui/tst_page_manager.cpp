// The page manager: one page per conversation, what it asks the loader for, where records,
// send results, read marks and download progress go, the order of the system page, when a
// conversation counts as read, and that every record handed over is freed exactly once. A
// conversation opened at a search result is filled around the message, shown marked, pages both
// ways, keeps new messages until it reaches the newest, drops answers to an earlier click, and
// goes back to its newest messages when left (the conversation list, sending).

#include <QFrame>
#include <QListWidget>
#include <QScrollBar>
#include <QSignalSpy>
#include <QtTest>

#include "ChatTestUtil.h"
#include "DeleteWatch.h"
#include "chat/ChatView.h"
#include "chat/InputView.h"
#include "chat/MessageItemSys.h"
#include "chat/MessagePage.h"
#include "chat/MessagePageMgr.h"
#include "chat/MessagePageSys.h"
#include "tests/support/TestMain.h"

using namespace chat_test;

namespace {

QList<int> Ids(const QSignalSpy& spy) {
    QList<int> ids;
    for (const QVariantList& call : spy)
        ids << call.at(0).toInt();
    return ids;
}

// Stored ids of the bubbles of a page, separators left out.
QList<int> Ids(MessagePage* page) {
    QList<int> ids;
    for (int row = 0; row < page->View()->count(); ++row) {
        const Bubble* bubble = page->View()->BubbleAt(row);
        if (bubble->msg_type != Bubble::kSeparator)
            ids << bubble->id;
    }
    return ids;
}

QList<int> Range(int first, int last) {
    QList<int> ids;
    for (int id = first; id <= last; ++id)
        ids << id;
    return ids;
}

// The marked row is in sight.
bool Marked(MessagePage* page, int id) {
    ChatView* view = page->View();
    const int row = view->HighlightedRow();
    return row >= 0 && row == view->RowOfId(id) &&
           view->viewport()->rect().contains(view->visualItemRect(view->item(row)).center());
}

void ScrollTo(MessagePage* page, bool bottom) {
    // Rows just added are laid out first.
    QCoreApplication::processEvents();
    QScrollBar* bar = page->View()->verticalScrollBar();
    bar->setValue(bottom ? bar->maximum() : 0);
}

}  // namespace

class TestPageManager : public QObject {
    Q_OBJECT
private slots:
    void init() {
        QVERIFY(SignIn());
        g_watch_count = 0;
        // Shown, as in the main window; the cases that need no frame make a manager of their own.
        mgr_.reset(new MessagePageMgr);
        mgr_->Frame()->resize(600, 500);
        mgr_->Frame()->show();
    }
    void cleanup() {
        mgr_.reset();
        ReleaseWatched();
    }
    void openingAsksTheLoader();
    void everyRecordIsFreedOnce();
    void downloadProgressRegistry();
    void sendResultsAndReadMarksReachTheirPage();
    void readOnlyWhileLookedAt();
    void opensMarkedAndPagesBothWays();
    void answersToAnEarlierClickAreDropped();
    void leavingTheHistoryReturnsToTheNewest();

private:
    MessagePage* OpenAround(int id, int first, int last, bool has_newer) {
        mgr_->OnOpenAtMessage(kWangFang, "王芳", id);
        mgr_->OnMsgAroundReady(kWangFang, id, Watch(Records(first, last - first + 1, kWangFang)),
                               true, has_newer);
        return mgr_->Page(kWangFang);
    }

    std::unique_ptr<MessagePageMgr> mgr_;
};

void TestPageManager::openingAsksTheLoader() {
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

    // A page still empty asks again each time it is opened, and takes its name from the list.
    mgr.OnConnectItemChanged(10005, "孙浩");
    mgr.OnConnectItemChanged(10005, QString());
    QCOMPARE(Ids(load).mid(3), QList<int>({10005, 10005}));
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
    MessageSysItemInfoPointers sys;
    for (int number : {2, 0, 1, 0}) {
        sys << new MessageSysItemInfo;
        sys.last()->remind_id = 9417 + sys.size();
        sys.last()->number = number;
    }
    mgr.OnUpdateMsgSysPage(Watch(sys));
    QCOMPARE(g_watch_count, 13);
    QVERIFY(AllFreedOnce());
    QCOMPARE(mgr.Page(kWangFang)->View()->count(), 6);
    QVERIFY(!mgr.Page(10005));

    // The system page: categories with unread reminders first, each group newest on top.
    QListWidget* list = mgr.SysPage()->List();
    QList<int> order;
    for (int row = 0; row < list->count(); ++row)
        order << qobject_cast<MessageItemSys*>(list->itemWidget(list->item(row)))->RemindId();
    QCOMPARE(order, QList<int>({9420, 9418, 9421, 9419}));
    QCOMPARE(mgr.SysPage()->UnreadRows(), 2);
    mgr.OnUpdateMsgSysPage({});
    QCOMPARE(list->count(), 0);
    QCOMPARE(mgr.SysPage()->UnreadRows(), 0);
}

void TestPageManager::downloadProgressRegistry() {
    MessagePageMgr mgr;
    QStringList shown;
    QObject one, two;
    auto* gone = new QObject;
    const auto show = [&shown](const QString& name) {
        return [&shown, name](const QString& percent) { shown << name + "=" + percent; };
    };
    mgr.Downloads().Add("1", &one, show("1"));
    mgr.Downloads().Add("2", &two, show("2"));
    mgr.Downloads().Add("4", gone, show("4"));
    delete gone;
    mgr.OnUpdateDownloadPercent({{"1", "55"}, {"2", "err: 文件不存在"}, {"4", "20"}, {"5", "30"}});
    shown.sort();
    QCOMPARE(shown, QStringList({"1=55", "2=err: 文件不存在"}));
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
    for (int other_id : {kWangFang, kWangFang, kWangFang, 10005}) {
        mgr.Page(other_id)->Input()->setPlainText("周五开会");
        mgr.Page(other_id)->OnSendClicked();
    }
    QTRY_COMPARE(sent.size(), 4);
    QCOMPARE(sent.at(0), QVariantList({kWangFang, "王芳", 1, 1, "周五开会"}));
    QCOMPARE(sent.at(3), QVariantList({10005, "孙浩", 1, 1, "周五开会"}));
    mgr.OnUpdateMsgStateReback(kWangFang, 1, 1, "900");
    mgr.OnUpdateMsgStateReback(kWangFang, 2, 0, "对方不是您的好友");
    mgr.OnUpdateMsgStateReback(kWangFang, 3, 1, "不是数字");
    mgr.OnUpdateMsgStateReback(kWangFang, 9, 1, "1");
    mgr.OnUpdateMsgStateReback(10005, 1, 0, "会话已失效");
    mgr.OnUpdateMsgIsRead(kWangFang, 900);
    mgr.OnUpdateMsgIsRead(10009, 900);
    ChatView* wang = mgr.Page(kWangFang)->View();
    const int last = wang->count() - 1;
    QCOMPARE(wang->BubbleAt(last - 2)->message_id, 900);
    QCOMPARE(wang->BubbleAt(last - 2)->state, 2);
    QCOMPARE(wang->BubbleAt(last - 1)->state, -1);
    QCOMPARE(wang->BubbleAt(last)->message_id, -1);
    ChatView* sun = mgr.Page(10005)->View();
    QCOMPARE(sun->BubbleAt(sun->count() - 1)->state, -1);
}

void TestPageManager::readOnlyWhileLookedAt() {
    MessagePageMgr& mgr = *mgr_;
    QSignalSpy read(&mgr, &MessagePageMgr::update_isread_state);
    // Whatever a fill asks for arrives queued; this comes after it.
    const auto settle = [&mgr] {
        bool done = false;
        QMetaObject::invokeMethod(
            &mgr, [&done] { done = true; }, Qt::QueuedConnection);
        QTRY_VERIFY(done);
    };
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

void TestPageManager::opensMarkedAndPagesBothWays() {
    QSignalSpy around(mgr_.get(), &MessagePageMgr::load_around);
    QSignalSpy newer(mgr_.get(), &MessagePageMgr::load_newer);
    QSignalSpy older(mgr_.get(), &MessagePageMgr::update_msg_page);
    MessagePage* page = OpenAround(150, 130, 170, true);
    QCOMPARE(around.size(), 1);
    QCOMPARE(around.at(0), QVariantList({kWangFang, 150}));
    QCOMPARE(mgr_->CurrentWidget(), page);
    QCOMPARE(page->Title(), QString("王芳"));
    QCOMPARE(Ids(page), Range(130, 170));
    QVERIFY(Marked(page, 150));

    // A message arriving now would leave a gap below the page: it comes with the newer pages.
    mgr_->OnMsgPageDataReady(Watch(Records(300, 1, kWangFang)));
    QCOMPARE(Ids(page).last(), 170);

    ScrollTo(page, true);
    QTRY_COMPARE(newer.size(), 1);
    QCOMPARE(newer.at(0), QVariantList({kWangFang, 170}));
    ScrollTo(page, false);
    ScrollTo(page, true);
    mgr_->OnMsgNewerReady(kWangFang, Watch(Records(171, 40, kWangFang)), true);
    QCOMPARE(Ids(page), Range(130, 210));
    ScrollTo(page, true);
    QTRY_COMPARE(newer.size(), 2);
    QCOMPARE(newer.at(1), QVariantList({kWangFang, 210}));
    mgr_->OnMsgNewerReady(kWangFang, Watch(Records(211, 90, kWangFang)), false);
    QCOMPARE(Ids(page), Range(130, 300));

    // At the newest now: new messages are appended as they come, no more newer pages.
    mgr_->OnMsgPageDataReady(Watch(Records(301, 1, kWangFang)));
    QCOMPARE(Ids(page).last(), 301);
    QVERIFY(!page->HasNewer());

    const int asked_older = older.size();
    ScrollTo(page, false);
    QTRY_COMPARE(older.size(), asked_older + 1);
    QCOMPARE(older.last(), QVariantList({kWangFang, 130, 301}));
    mgr_->OnMsgPageDataReady(Watch(Records(90, 40, kWangFang)));
    QCOMPARE(Ids(page), Range(90, 301));
    QCOMPARE(newer.size(), 2);
    mgr_.reset();
    QVERIFY(AllFreedOnce());
}

void TestPageManager::answersToAnEarlierClickAreDropped() {
    QSignalSpy around(mgr_.get(), &MessagePageMgr::load_around);
    QSignalSpy newest(mgr_.get(), &MessagePageMgr::update_msg_page);
    mgr_->OnOpenAtMessage(kWangFang, "王芳", 150);
    mgr_->OnOpenAtMessage(kWangFang, "王芳", 20);
    mgr_->OnMsgAroundReady(kWangFang, 150, Watch(Records(130, 41, kWangFang)), true, true);
    MessagePage* page = mgr_->Page(kWangFang);
    QVERIFY(page->IsEmpty());
    mgr_->OnMsgAroundReady(kWangFang, 20, Watch(Records(1, 40, kWangFang)), false, true);
    QCOMPARE(Ids(page), Range(1, 40));
    QVERIFY(Marked(page, 20));

    // A result already on the page is only marked.
    mgr_->OnOpenAtMessage(kWangFang, "王芳", 35);
    QCOMPARE(around.size(), 2);
    QVERIFY(Marked(page, 35));

    // A message gone meanwhile (sent again, so stored anew): an empty page shows the newest.
    mgr_->OnOpenAtMessage(10005, "孙浩", 77);
    mgr_->OnMsgAroundReady(10005, 77, {}, false, false);
    QCOMPARE(newest.size(), 1);
    QCOMPARE(newest.at(0), QVariantList({10005, 0, 0}));
    mgr_.reset();
    QVERIFY(AllFreedOnce());
}

void TestPageManager::leavingTheHistoryReturnsToTheNewest() {
    QSignalSpy newest(mgr_.get(), &MessagePageMgr::update_msg_page);
    QSignalSpy sent(mgr_.get(), &MessagePageMgr::send_msg);
    MessagePage* page = OpenAround(150, 130, 170, true);
    mgr_->OnConnectItemChanged(kWangFang, QString());
    QVERIFY(page->IsEmpty());
    QCOMPARE(newest.size(), 1);
    QCOMPARE(newest.at(0), QVariantList({kWangFang, 0, 0}));
    mgr_->OnMsgPageDataReady(Watch(Records(261, 40, kWangFang)));
    QCOMPARE(Ids(page), Range(261, 300));

    // Sending from back in the history: the page starts again at the newest messages, and the
    // sent bubble stays below them.
    OpenAround(150, 130, 170, true);
    page->Input()->setPlainText("期末见");
    page->OnSendClicked();
    QTRY_COMPARE(newest.size(), 2);
    QCOMPARE(newest.at(1), QVariantList({kWangFang, 0, 0}));
    QTRY_COMPARE(sent.size(), 1);
    mgr_->OnMsgPageDataReady(Watch(Records(261, 40, kWangFang)));
    QCOMPARE(Ids(page), Range(261, 300) << 0);
    ChatView* view = page->View();
    QCOMPARE(view->BubbleAt(view->count() - 1)->text, QString("期末见"));
    mgr_.reset();
    QVERIFY(AllFreedOnce());
}

CORAL_TEST_MAIN(TestPageManager)
#include "tst_page_manager.moc"
