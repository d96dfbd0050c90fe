// The main window against platform-sim: a text typed into a conversation page reaches the
// platform byte for byte and comes back in 李明's answer, the bubble turns unread and then read; a
// conversation opened from the tray notice loads its history and is read; a refused message is
// sent again in its place. A file sent from the page reaches the platform whole and its card
// says "已发送"; a file 王芳 sends is downloaded whole from its card; her voice message plays
// through the window's player, its bubble's waves move, and a second click stops it. Ctrl+F and
// "期末" find a demo message, and a click opens the conversation at it, marked.

#include <QLabel>
#include <QLineEdit>
#include <QMediaPlayer>
#include <QPushButton>
#include <QtTest>

#include "MainWindowTestUtil.h"
#include "chat/InputView.h"
#include "chat/MessageItem.h"
#include "chat/MsgFileItem.h"
#include "engine/MsgController.h"
#include "engine/MsgParse.h"
#include "login/SearchBox.h"
#include "login/SearchResults.h"
#include "sim/demo/SamplePictures.h"
#include "tests/sim/SimCall.h"
#include "tests/support/QueuedSpy.h"
#include "tests/support/TestMain.h"

using namespace chat_test;

namespace {

QByteArray Binary(int size) {
    QByteArray data(size, '\0');
    for (int i = 0; i < size; ++i)
        data[i] = static_cast<char>((i * 7 + i / 251) % 256);
    return data;
}

// The last row of `type` in the page, -1 when none.
int LastRow(MessagePage* page, int type) {
    for (int row = page->View()->count() - 1; row >= 0; --row) {
        if (page->View()->BubbleAt(row)->msg_type == type)
            return row;
    }
    return -1;
}

MsgFileItem* FileCard(MessagePage* page, int row) {
    MessageItem* item = ShownItem(page->View(), row);
    return item ? item->FileItem() : nullptr;
}

QString StateText(MsgFileItem* item) {
    const auto labels = item->findChildren<QLabel*>(QRegularExpression("^msg_file_state_lab_"));
    return labels.isEmpty() ? QString() : labels.first()->text();
}

constexpr int kExamGroup = -302;
const QString kWanted = QStringLiteral("期末考试前两周停止新课，留出复习时间。");

// The row of the first message result whose text is `text`; -1.
int MessageRow(const SearchResults* results, const QString& text) {
    for (int row = 0; results->RowAt(row); ++row) {
        const SearchResults::Row* found = results->RowAt(row);
        if (found->kind == SearchResults::kMessage && found->item->text == text)
            return row;
    }
    return -1;
}

}  // namespace

class TestChatE2e : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(w_.Ready()); }
    void init() { QVERIFY(w_.Open()); }
    void cleanup() { w_.main.reset(); }
    void typedTextTravelsAndIsAnswered();
    void trayNoticeOpensTheConversation();
    void refusedMessageIsSentAgainInItsPlace();
    void sentFileArrivesWhole();
    void receivedFileDownloadsFromItsCard();
    void voicePlaysAndStops();
    void searchFindsADemoMessageAndOpensIt();

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

void TestChatE2e::sentFileArrivesWhole() {
    MessagePage* page = w_.OpenConversation(kWangFang, "王芳");
    QVERIFY(page);
    QueuedSpy states(w_.main->Engine()->Parse(), &MsgParse::update_msg_send_reback_state);
    QTemporaryDir dir;
    const QString path = dir.filePath("期末 复习 资料.pdf");
    const QByteArray data = Binary(300 * 1000 + 7);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(data) == data.size());
    file.close();

    page->OnSendFile(path);
    const int row = page->View()->count() - 1;
    MsgFileItem* card = FileCard(page, row);
    QVERIFY(card);
    QCOMPARE(StateText(card), QString("发送中..."));
    QVERIFY(states.waitFor(1, 10000));
    QCOMPARE(states.at(0).at(2).toInt(), 1);
    const QString message_id = states.at(0).at(3).toString();
    QTRY_COMPARE(StateText(FileCard(page, row)), QString("已发送"));

    FormBody body;
    body.Add("User_ID", QString::number(kUserId))
        .Add("SessionID", w_.session)
        .Add("Message_ID", message_id);
    const Json stored = sim_call::Post(
        Services::InterfaceUrlSlashed(w_.sim.UnitBase(), "MessageFile_Download"), body);
    QCOMPARE(stored.Text("Velta.EID"), QString("0"));
    QCOMPARE(stored.Text("Velta.FileName"), QString("期末 复习 资料.pdf"));
    QCOMPARE(QByteArray::fromBase64(stored.Text("Velta.Base64Data").toLatin1()), data);
}

void TestChatE2e::receivedFileDownloadsFromItsCard() {
    MessagePage* page = w_.OpenConversation(kWangFang, "王芳");
    QVERIFY(page);
    const QByteArray data = Binary(2 << 20);
    QVERIFY(w_.sim.SendFile("wangfang", "zhanglei", 2, "成绩汇总.xlsx", data) > 0);
    QTRY_VERIFY_WITH_TIMEOUT(
        LastRow(page, 2) >= 0 &&
            page->View()->BubbleAt(LastRow(page, 2))->content.contains("成绩汇总.xlsx"),
        10000);
    const int row = LastRow(page, 2);
    MsgFileItem* card = FileCard(page, row);
    QVERIFY(card);
    QCOMPARE(StateText(card), QString("未下载"));
    QTest::mouseClick(card->findChild<QPushButton*>("msg_file_download_btn_rec"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(StateText(FileCard(page, row)), QString("已下载"), 15000);
    const Attachment file = Attachment::FromFileContent(page->View()->BubbleAt(row)->content);
    QCOMPARE(ReadAll(AttachmentPaths().Find(file)), data);
}

void TestChatE2e::voicePlaysAndStops() {
    MessagePage* page = w_.OpenConversation(kWangFang, "王芳");
    QVERIFY(page);
    // Four seconds long: still playing when clicked again.
    const QByteArray tone = QByteArray::fromStdString(sample_pictures::Tone(4));
    QVERIFY(w_.sim.SendFile("wangfang", "zhanglei", 4, "留言.wav", tone, 1) > 0);
    QTRY_VERIFY_WITH_TIMEOUT(
        LastRow(page, 4) >= 0 &&
            QFile::exists(page->View()->BubbleAt(LastRow(page, 4))->local_path),
        10000);
    const int row = LastRow(page, 4);
    const auto content = [&] {
        MessageItem* item = ShownItem(page->View(), row);
        return item ? item->findChild<QLabel*>("item_content_lab_left") : nullptr;
    };
    QMediaPlayer* player = w_.main->Player();
    QSignalSpy player_states(player, &QMediaPlayer::stateChanged);
    QTest::mouseRelease(content(), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!player_states.isEmpty(), 10000);
    QCOMPARE(player_states.first().at(0).value<QMediaPlayer::State>(), QMediaPlayer::PlayingState);
    QCOMPARE(player->currentMedia().request().url().toLocalFile(),
             page->View()->BubbleAt(row)->local_path);
    QVERIFY(page->View()->BubbleAt(row)->playing);
    // The waves move while it plays.
    const QString frame = content()->text();
    QTRY_VERIFY(content()->text() != frame);

    QTest::mouseRelease(content(), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(player->state(), QMediaPlayer::StoppedState, 10000);
    QTRY_VERIFY(!page->View()->BubbleAt(row)->playing);
    QVERIFY(content()->text().contains("audio_left_item.png"));
    // Stopped by the click, not ended on its own and started again.
    QCOMPARE(player_states.size(), 2);
}

void TestChatE2e::searchFindsADemoMessageAndOpensIt() {
    QTRY_COMPARE_WITH_TIMEOUT(
        engine_test::Count("SELECT COUNT(*) FROM message_all WHERE content = :text",
                           {{"text", kWanted}}),
        1, 15000);
    MainWidget* main = w_.main.get();
    auto* box = main->findChild<SearchBox*>();
    auto* results = main->findChild<SearchResults*>();
    QVERIFY(box && results);
    main->activateWindow();
    QTest::keyClick(main, Qt::Key_F, Qt::ControlModifier);
    QTRY_VERIFY(box->Edit()->hasFocus());
    box->Edit()->insert("期末");

    QTRY_VERIFY_WITH_TIMEOUT(MessageRow(results, kWanted) >= 0, 10000);
    QVERIFY(results->isVisible());

    const int row = MessageRow(results, kWanted);
    const int id = results->RowAt(row)->item->id;
    results->scrollToItem(results->item(row));
    QTest::mouseClick(results->viewport(), Qt::LeftButton, {},
                      results->visualItemRect(results->item(row)).center());
    MessagePageMgr* pages = main->PageMgr();
    QCOMPARE(pages->CurrentId(), kExamGroup);
    QTRY_VERIFY_WITH_TIMEOUT(pages->Page(kExamGroup)->View()->HighlightedRow() >= 0, 10000);
    ChatView* view = pages->Page(kExamGroup)->View();
    const Bubble* shown = view->BubbleAt(view->HighlightedRow());
    QCOMPARE(shown->id, id);
    QCOMPARE(shown->text, kWanted);
    QCOMPARE(pages->Page(kExamGroup)->Title(), QString("期末考试讨论组"));
}

CORAL_TEST_MAIN(TestChatE2e)
#include "tst_chat_e2e.moc"
