// The main window's conversation pages against platform-sim: a text typed into the page reaches
// the platform byte for byte and comes back in 李明's answer, the bubble turns unread and then
// read, and a conversation opened from the tray notice loads its history and is read.

#include <QLabel>
#include <QPushButton>
#include <QtTest>
#include <memory>

#include "MainWindowTestUtil.h"
#include "chat/ChatView.h"
#include "chat/InputView.h"
#include "chat/MainWidget.h"
#include "chat/MessageItem.h"
#include "chat/MessagePage.h"
#include "chat/MessagePageMgr.h"
#include "engine/EngineMetaTypes.h"
#include "engine/MsgController.h"
#include "engine/MsgParse.h"
#include "tests/support/QueuedSpy.h"
#include "tests/support/SimServer.h"
#include "tests/support/TestMain.h"

using namespace chat_test;

namespace {

constexpr int kLiMing = 10003;

// Rows of a page as "<side> <text>", separators left out.
QStringList Texts(MessagePage* page) {
    QStringList texts;
    for (int row = 0; row < page->View()->count(); ++row) {
        const Bubble* bubble = page->View()->BubbleAt(row);
        if (bubble->msg_type != Bubble::kSeparator)
            texts << QStringLiteral("%1 %2").arg(bubble->side == Bubble::kRight ? ">" : "<",
                                                 bubble->text);
    }
    return texts;
}

}  // namespace

class TestChatE2e : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        EngineMetaTypes::Register();
        QVERIFY(sim_.IsRunning());
    }
    void init() {
        main_.reset(ShowMainWindow(sim_));
        QVERIFY(main_);
        main_->StartEngine();
    }
    void cleanup() { main_.reset(); }
    void typedTextTravelsAndIsAnswered();
    void trayNoticeOpensTheConversation();
    void refusedMessageIsSentAgainInItsPlace();

private:
    SimServer sim_{2000, 300};
    std::unique_ptr<MainWidget> main_;
};

void TestChatE2e::typedTextTravelsAndIsAnswered() {
    QueuedSpy states(main_->Engine()->Parse(), &MsgParse::update_msg_send_reback_state);
    QueuedSpy reads(main_->Engine()->Parse(), &MsgParse::update_msg_is_read);
    MessagePageMgr* pages = main_->PageMgr();
    pages->OnConnectItemChanged(kLiMing, "李明");
    MessagePage* page = pages->Page(kLiMing);
    QTRY_VERIFY_WITH_TIMEOUT(Texts(page).contains("< 您好，我是李明。给我发消息，我会自动回复。"),
                             10000);

    const QString typed = "周五 a+b=c & 100% \"引号\" <b>不加粗</b> ";
    page->Input()->insertPlainText(typed);
    page->Input()->InsertEmoji("微笑.png");
    QTest::keyClick(page->Input(), Qt::Key_Return);
    const QString sent = typed + "[微笑]";
    QTRY_COMPARE(Texts(page).last(), "> " + sent);
    QVERIFY(states.waitFor(1, 10000));
    QCOMPARE(states.at(0).at(1).toInt(), 1);
    QCOMPARE(states.at(0).at(2).toInt(), 1);
    const int message_id = states.at(0).at(3).toInt();
    QVERIFY(message_id > 0);

    // 李明 reads it, then answers with the text he received.
    QTRY_VERIFY_WITH_TIMEOUT(!reads.isEmpty(), 10000);
    QCOMPARE(reads.at(0), QVariantList({kLiMing, message_id}));
    QTRY_COMPARE_WITH_TIMEOUT(Texts(page).last(), "< 收到：" + sent, 10000);
    const int own_row = Texts(page).lastIndexOf("> " + sent);
    QVERIFY(own_row >= 0);
    for (int row = 0; row < page->View()->count(); ++row) {
        const Bubble* bubble = page->View()->BubbleAt(row);
        if (bubble->text == sent)
            QCOMPARE(bubble->state, 2);
    }
    // Shown while open, the answer is read at once.
    QTRY_COMPARE_WITH_TIMEOUT(engine_test::Number(kLiMing), 0, 10000);
}

void TestChatE2e::trayNoticeOpensTheConversation() {
    main_->hide();
    QTRY_VERIFY_WITH_TIMEOUT(engine_test::Number(kWangFang) > 0, 10000);
    main_->OnOpenChatView(kWangFang);
    QVERIFY(main_->isVisible());
    MessagePageMgr* pages = main_->PageMgr();
    QCOMPARE(pages->CurrentId(), kWangFang);
    QTRY_VERIFY_WITH_TIMEOUT(
        pages->Page(kWangFang) &&
            Texts(pages->Page(kWangFang)).contains("< 期中考试的监考表已经发您了，请过目。"),
        10000);
    QCOMPARE(pages->Page(kWangFang)->Title(), QString("王芳"));
    QTRY_COMPARE_WITH_TIMEOUT(engine_test::Number(kWangFang), 0, 10000);
}

void TestChatE2e::refusedMessageIsSentAgainInItsPlace() {
    QueuedSpy states(main_->Engine()->Parse(), &MsgParse::update_msg_send_reback_state);
    MessagePageMgr* pages = main_->PageMgr();
    pages->OnConnectItemChanged(kWangFang, "王芳");
    MessagePage* page = pages->Page(kWangFang);
    QTRY_VERIFY_WITH_TIMEOUT(!page->IsEmpty(), 10000);
    sim_.SetFault("Message_Send", FaultKind::kEid1, 0, 1);
    page->Input()->insertPlainText("第一次没发出去");
    page->OnSendClicked();
    QVERIFY(states.waitFor(1, 10000));
    QCOMPARE(states.at(0).at(2).toInt(), 0);
    ChatView* view = page->View();
    const int row = view->count() - 1;
    QCOMPARE(view->BubbleAt(row)->state, -1);
    const QString rows = "SELECT COUNT(*) FROM message_all WHERE content = '第一次没发出去'";
    QCOMPARE(engine_test::Count(rows), 1);

    QTRY_VERIFY(view->BubbleAt(row)->client_message_id > 0);
    QTRY_VERIFY(view->ItemAt(row));
    QTest::mouseRelease(view->ItemAt(row)->findChild<QLabel*>("item_msg_state_lab"),
                        Qt::LeftButton);
    QVERIFY(states.waitFor(2, 10000));
    QCOMPARE(states.at(1).at(2).toInt(), 1);
    // One row for the message, the one that went through.
    QCOMPARE(engine_test::Count(rows), 1);
    QCOMPARE(engine_test::Count(rows + " AND is_send = 1"), 1);
    QCOMPARE(view->BubbleAt(view->count() - 1)->state, 1);
}

CORAL_TEST_MAIN(TestChatE2e)
#include "tst_chat_e2e.moc"
