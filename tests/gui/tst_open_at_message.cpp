// A conversation opened at a search result: the loader is asked for the messages around it, the
// message is shown marked, the page pages older at the top and newer at the bottom, new messages
// wait until the page reaches the newest, answers to an earlier click are dropped, and leaving
// the history (the conversation list, sending) brings the page back to its newest messages.

#include <QFrame>
#include <QScrollBar>
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

class TestOpenAtMessage : public QObject {
    Q_OBJECT
private slots:
    void init() {
        QVERIFY(SignIn());
        g_watch_count = 0;
        mgr_.reset(new MessagePageMgr);
        mgr_->Frame()->resize(600, 500);
        mgr_->Frame()->show();
    }
    void cleanup() {
        mgr_.reset();
        ReleaseWatched();
    }
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

void TestOpenAtMessage::opensMarkedAndPagesBothWays() {
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

void TestOpenAtMessage::answersToAnEarlierClickAreDropped() {
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

void TestOpenAtMessage::leavingTheHistoryReturnsToTheNewest() {
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

CORAL_TEST_MAIN(TestOpenAtMessage)
#include "tst_open_at_message.moc"
