// The main window's conversation pages against platform-sim: a text typed into the page reaches
// the platform byte for byte and comes back in 李明's answer, the bubble turns unread and then
// read, and a conversation opened from the tray notice loads its history and is read.

#include <QLabel>
#include <QtTest>

#include "MainWindowTestUtil.h"
#include "chat/InputView.h"
#include "chat/MessageItem.h"
#include "engine/MsgController.h"
#include "engine/MsgParse.h"
#include "tests/support/QueuedSpy.h"
#include "tests/support/TestMain.h"

using namespace chat_test;

class TestChatE2e : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(w_.Ready()); }
    void init() { QVERIFY(w_.Open()); }
    void cleanup() { w_.main.reset(); }
    void typedTextTravelsAndIsAnswered();
    void trayNoticeOpensTheConversation();
    void refusedMessageIsSentAgainInItsPlace();

private:
    SimWindow w_;
};

void TestChatE2e::typedTextTravelsAndIsAnswered() {
    constexpr int kLiMing = 10003;
    QueuedSpy states(w_.main->Engine()->Parse(), &MsgParse::update_msg_send_reback_state);
    QueuedSpy reads(w_.main->Engine()->Parse(), &MsgParse::update_msg_is_read);
    MessagePage* page = w_.OpenConversation(kLiMing, "李明");
    QVERIFY(page);
    QTRY_VERIFY(Rows(page->View()).contains("< 您好，我是李明。给我发消息，我会自动回复。"));

    // Blanks alone are not sent; Ctrl+Return breaks the line, Return sends.
    InputView* input = page->Input();
    input->setPlainText("  ");
    page->OnSendClicked();
    input->clear();
    input->insertPlainText("周五 a+b=c & 100%");
    QTest::keyClick(input, Qt::Key_Return, Qt::ControlModifier);
    input->insertPlainText("\"引号\" <b>不加粗</b> ");
    input->InsertEmoji("微笑.png");
    QTest::keyClick(input, Qt::Key_Return);
    const QString sent = "周五 a+b=c & 100%\n\"引号\" <b>不加粗</b> [微笑]";
    QTRY_COMPARE(Rows(page->View()).last(), "> " + sent);
    QVERIFY(input->toPlainText().isEmpty());
    QVERIFY(states.waitFor(1, 10000));
    QCOMPARE(states.at(0).at(1).toInt(), 1);
    QCOMPARE(states.at(0).at(2).toInt(), 1);
    const int message_id = states.at(0).at(3).toInt();
    QVERIFY(message_id > 0);

    // 李明 reads it, then answers with the text he received.
    QTRY_VERIFY_WITH_TIMEOUT(!reads.isEmpty(), 10000);
    QCOMPARE(reads.at(0), QVariantList({kLiMing, message_id}));
    QTRY_COMPARE_WITH_TIMEOUT(Rows(page->View()).last(), "< 收到：" + sent, 10000);
    QCOMPARE(Rows(page->View()).count("> " + sent), 1);
    const int own_row = Rows(page->View()).indexOf("> " + sent);
    QCOMPARE(page->View()->BubbleAt(own_row)->state, 2);
    // Shown while open, the answer is read at once.
    QTRY_COMPARE_WITH_TIMEOUT(engine_test::Number(kLiMing), 0, 10000);
    QCOMPARE(states.size(), 1);
}

void TestChatE2e::trayNoticeOpensTheConversation() {
    w_.main->hide();
    QTRY_VERIFY_WITH_TIMEOUT(engine_test::Number(kWangFang) > 0, 10000);
    w_.main->OnOpenChatView(kWangFang);
    QVERIFY(w_.main->isVisible());
    MessagePageMgr* pages = w_.main->PageMgr();
    QCOMPARE(pages->CurrentId(), kWangFang);
    QTRY_VERIFY_WITH_TIMEOUT(
        pages->Page(kWangFang) &&
            Rows(pages->Page(kWangFang)->View()).contains("< 期中考试的监考表已经发您了，请过目。"),
        10000);
    QCOMPARE(pages->Page(kWangFang)->Title(), QString("王芳"));
    QTRY_COMPARE_WITH_TIMEOUT(engine_test::Number(kWangFang), 0, 10000);
}

void TestChatE2e::refusedMessageIsSentAgainInItsPlace() {
    QueuedSpy states(w_.main->Engine()->Parse(), &MsgParse::update_msg_send_reback_state);
    MessagePage* page = w_.OpenConversation(kWangFang, "王芳");
    QVERIFY(page);
    w_.sim.SetFault("Message_Send", FaultKind::kEid1, 0, 1);
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
    MessageItem* item = ShownItem(view, row);
    QVERIFY(item);
    QTest::mouseRelease(item->findChild<QLabel*>("item_msg_state_lab"), Qt::LeftButton);
    QVERIFY(states.waitFor(2, 10000));
    QCOMPARE(states.at(1).at(2).toInt(), 1);
    // One row for the message, the one that went through.
    QCOMPARE(engine_test::Count(rows), 1);
    QCOMPARE(engine_test::Count(rows + " AND is_send = 1"), 1);
    QCOMPARE(view->BubbleAt(view->count() - 1)->state, 1);
}

CORAL_TEST_MAIN(TestChatE2e)
#include "tst_chat_e2e.moc"
