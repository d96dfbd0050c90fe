// A message stored from a poll reply reaches its open page straight from the parser, before the
// loader has run, but only when it follows the last message the page shows: the loader's copy
// adds nothing twice, and a message the page has yet to get is never passed over.

#include <QSignalSpy>
#include <QtTest>

#include "chat/ChatView.h"
#include "chat/MessagePage.h"
#include "chat/MessagePageMgr.h"
#include "engine/EngineMetaTypes.h"
#include "engine/FreshMessages.h"
#include "engine/MsgLoader.h"
#include "engine/MsgParse.h"
#include "tests/engine/EngineTestEnv.h"
#include "tests/support/TestMain.h"

using namespace engine_test;

namespace {

constexpr int kPeer = 2001;

// Parser, loader and pages on the test thread; the loader hears of new messages only when the
// events are processed, as it would on its own thread.
struct Delivery {
    MsgParse parse;
    MsgLoader loader;
    MessagePageMgr pages;

    Delivery() {
        QObject::connect(&parse, &MsgParse::fresh_msgs_stored, &pages,
                         &MessagePageMgr::OnFreshMessages);
        QObject::connect(&parse, &MsgParse::update_msg_page_ui, &loader,
                         &MsgLoader::OnNewMsgComming, Qt::QueuedConnection);
        QObject::connect(&pages, &MessagePageMgr::update_msg_page, &loader,
                         &MsgLoader::OnUpdateMsgPage, Qt::QueuedConnection);
        QObject::connect(&loader, &MsgLoader::msg_load_ready, &pages,
                         &MessagePageMgr::OnMsgPageDataReady);
        // The lists the parser sends on are the receiver's to free.
        QObject::connect(&parse, &MsgParse::update_connect_list_ui,
                         [](ConnectListItemInfoPointers list) { qDeleteAll(list); });
        QObject::connect(&parse, &MsgParse::msgs_sys_has_receive, &pages,
                         &MessagePageMgr::OnUpdateMsgSysPage);
        parse.OnStart();
    }
    void Receive(int first, int count = 1) {
        Reply reply;
        for (int id = first; id < first + count; ++id) {
            ChatMsg msg = From(kPeer, id);
            msg.content = QStringLiteral("第%1条").arg(id);
            reply.Add(msg);
        }
        parse.OnHeartBeatMsgToParse(reply.Text());
    }
    // The texts the page shows, top to bottom.
    QStringList Shown() const {
        QStringList texts;
        const ChatView* view = pages.Page(kPeer)->View();
        for (int row = 0; row < view->count(); ++row) {
            if (view->BubbleAt(row)->msg_type != Bubble::kSeparator)
                texts << view->BubbleAt(row)->text;
        }
        return texts;
    }
};

}  // namespace

class TestFreshDelivery : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { EngineMetaTypes::Register(); }
    void init() { QVERIFY(SignIn()); }

    void followingMessageShowsBeforeTheLoader();
    void messageAfterAGapWaitsForTheLoader();
    void catchUpRepliesAreLeftToTheLoader();
};

void TestFreshDelivery::followingMessageShowsBeforeTheLoader() {
    Delivery delivery;
    delivery.Receive(1);
    delivery.pages.OnConnectItemChanged(kPeer, "李老师");
    QTRY_COMPARE(delivery.Shown(), QStringList({"第1条"}));

    delivery.Receive(2);
    QCOMPARE(delivery.Shown(), QStringList({"第1条", "第2条"}));
    // The loader's delivery of the same row comes after it.
    QTest::qWait(50);
    QCOMPARE(delivery.Shown(), QStringList({"第1条", "第2条"}));
}

void TestFreshDelivery::messageAfterAGapWaitsForTheLoader() {
    Delivery delivery;
    delivery.Receive(1);
    delivery.pages.OnConnectItemChanged(kPeer, "李老师");
    QTRY_COMPARE(delivery.Shown(), QStringList({"第1条"}));

    // Message 2 reaches only the loader, which has not run yet when message 3 is stored.
    QObject::disconnect(&delivery.parse, &MsgParse::fresh_msgs_stored, &delivery.pages, nullptr);
    delivery.Receive(2);
    QObject::connect(&delivery.parse, &MsgParse::fresh_msgs_stored, &delivery.pages,
                     &MessagePageMgr::OnFreshMessages);
    delivery.Receive(3);
    QCOMPARE(delivery.Shown(), QStringList({"第1条"}));
    QTRY_COMPARE(delivery.Shown(), QStringList({"第1条", "第2条", "第3条"}));
    QTest::qWait(50);
    QCOMPARE(delivery.Shown(), QStringList({"第1条", "第2条", "第3条"}));
}

void TestFreshDelivery::catchUpRepliesAreLeftToTheLoader() {
    Delivery delivery;
    QObject::disconnect(&delivery.parse, &MsgParse::fresh_msgs_stored, &delivery.pages, nullptr);
    QSignalSpy fresh(&delivery.parse, &MsgParse::fresh_msgs_stored);
    delivery.Receive(1, FreshMessages::kMaxReply + 1);
    QVERIFY(fresh.isEmpty());
    delivery.Receive(100, 2);
    QCOMPARE(fresh.size(), 1);
    QCOMPARE(fresh.at(0).at(0).toInt(), FreshMessages::kMaxReply + 1);
    const auto records = fresh.at(0).at(1).value<MessageItemInfoPointers>();
    QCOMPARE(records.size(), 2);
    QCOMPARE(records.last()->content, QString("第101条"));
    qDeleteAll(records);
}

CORAL_TEST_MAIN(TestFreshDelivery)
#include "tst_fresh_delivery.moc"
