// The main window against platform-sim: sending, answers and read marks, the tray notice, a refused
// message sent again, files both ways, voice, search, and system reminders.

#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMediaPlayer>
#include <QPushButton>
#include <QtTest>

#include "ChatTestUtil.h"
#include "GuiTestUtil.h"
#include "chat/InputView.h"
#include "chat/MainWidget.h"
#include "chat/MessageItem.h"
#include "chat/MessageItemSys.h"
#include "chat/MessagePage.h"
#include "chat/MessagePageMgr.h"
#include "chat/MessagePageSys.h"
#include "chat/MsgFileItem.h"
#include "engine/EngineMetaTypes.h"
#include "engine/MsgController.h"
#include "engine/MsgParse.h"
#include "login/SearchBox.h"
#include "login/SearchResults.h"
#include "sim/demo/SamplePictures.h"
#include "tests/sim/SimCall.h"
#include "tests/support/QueuedSpy.h"
#include "tests/support/SimServer.h"
#include "tests/support/TestMain.h"

using namespace chat_test;

// What the desktop would open in the browser.
class LinkCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void Open(const QUrl& url) { urls << url; }
};

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

// The row of a category on the system page; null when it has none.
MessageItemSys* RowOf(MessagePageSys* page, int remind_id, int* index = nullptr) {
    QListWidget* list = page->List();
    for (int row = 0; row < list->count(); ++row) {
        auto* item = qobject_cast<MessageItemSys*>(list->itemWidget(list->item(row)));
        if (item && item->RemindId() == remind_id) {
            if (index)
                *index = row;
            return item;
        }
    }
    return nullptr;
}

QLabel* Label(MessageItemSys* row, const char* name) {
    return row ? row->findChild<QLabel*>(QLatin1String(name)) : nullptr;
}

void Click(MessagePageSys* page, int remind_id) {
    int row = -1;
    QVERIFY(RowOf(page, remind_id, &row));
    QListWidget* list = page->List();
    list->scrollToItem(list->item(row));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
                      list->visualItemRect(list->item(row)).center());
}

}  // namespace

class TestChatE2e : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        EngineMetaTypes::Register();
        QVERIFY(sim_.IsRunning());
        QDesktopServices::setUrlHandler("http", &links_, "Open");
    }
    // 张磊 signed in with a new session and his main window shown afresh for each test.
    void init() {
        session_ = sim_.OpenSession("zhanglei");
        QVERIFY(engine_test::SignInAs("zhanglei", kUserId, sim_.UnitRecord(), session_));
        main_.reset(new MainWidget);
        main_->Init();
        main_->resize(1000, 700);
        main_->show();
        main_->StartEngine();
    }
    void cleanup() { main_.reset(); }
    void typedTextTravelsAndIsAnswered();
    void trayNoticeOpensTheConversation();
    void refusedMessageIsSentAgainInItsPlace();
    void filesTravelWholeBothWays();
    void voicePlaysAndStops();
    void searchFindsADemoMessageAndOpensIt();
    void reminderShowsCountsAndOpensItsPage();

private:
    // The conversation's page, opened as from the list, once its history is shown; null when
    // none came.
    MessagePage* OpenConversation(int other_id, const QString& name) {
        main_->PageMgr()->OnConnectItemChanged(other_id, name);
        MessagePage* page = main_->PageMgr()->Page(other_id);
        return QTest::qWaitFor([page] { return !page->IsEmpty(); }, 10000) ? page : nullptr;
    }

    SimServer sim_{2000, 300};
    QString session_;
    std::unique_ptr<MainWidget> main_;
    LinkCatcher links_;
};

void TestChatE2e::typedTextTravelsAndIsAnswered() {
    constexpr int kLiMing = 10003;
    QueuedSpy states(main_->Engine()->Parse(), &MsgParse::update_msg_send_reback_state);
    QueuedSpy reads(main_->Engine()->Parse(), &MsgParse::update_msg_is_read);
    MessagePage* page = OpenConversation(kLiMing, "李明");
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
    main_->hide();
    QTRY_VERIFY_WITH_TIMEOUT(engine_test::Number(kWangFang) > 0, 10000);
    main_->OnOpenChatView(kWangFang);
    QVERIFY(main_->isVisible());
    MessagePageMgr* pages = main_->PageMgr();
    QCOMPARE(pages->CurrentId(), kWangFang);
    QTRY_VERIFY_WITH_TIMEOUT(
        pages->Page(kWangFang) &&
            Rows(pages->Page(kWangFang)->View()).contains("< 期中考试的监考表已经发您了，请过目。"),
        10000);
    QCOMPARE(pages->Page(kWangFang)->Title(), QString("王芳"));
    QTRY_COMPARE_WITH_TIMEOUT(engine_test::Number(kWangFang), 0, 10000);
}

void TestChatE2e::refusedMessageIsSentAgainInItsPlace() {
    QueuedSpy states(main_->Engine()->Parse(), &MsgParse::update_msg_send_reback_state);
    MessagePage* page = OpenConversation(kWangFang, "王芳");
    QVERIFY(page);
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

void TestChatE2e::filesTravelWholeBothWays() {
    MessagePage* page = OpenConversation(kWangFang, "王芳");
    QVERIFY(page);
    QueuedSpy states(main_->Engine()->Parse(), &MsgParse::update_msg_send_reback_state);
    QTemporaryDir dir;
    const QString path = dir.filePath("期末 复习 资料.pdf");
    const QByteArray data = Binary(300 * 1000 + 7);
    QVERIFY(WriteFile(path, data));

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
        .Add("SessionID", session_)
        .Add("Message_ID", message_id);
    const Json stored = sim_call::Post(
        Services::InterfaceUrlSlashed(sim_.UnitBase(), "MessageFile_Download"), body);
    QCOMPARE(stored.Text("Velta.EID"), QString("0"));
    QCOMPARE(stored.Text("Velta.FileName"), QString("期末 复习 资料.pdf"));
    QCOMPARE(QByteArray::fromBase64(stored.Text("Velta.Base64Data").toLatin1()), data);

    // A file 王芳 sends is downloaded whole from its card.
    const QByteArray received = Binary(2 << 20);
    QVERIFY(sim_.SendFile("wangfang", "zhanglei", 2, "成绩汇总.xlsx", received) > 0);
    QTRY_VERIFY_WITH_TIMEOUT(
        LastRow(page, 2) > row &&
            page->View()->BubbleAt(LastRow(page, 2))->content.contains("成绩汇总.xlsx"),
        10000);
    const int received_row = LastRow(page, 2);
    card = FileCard(page, received_row);
    QVERIFY(card);
    QCOMPARE(StateText(card), QString("未下载"));
    QTest::mouseClick(card->findChild<QPushButton*>("msg_file_download_btn_rec"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(StateText(FileCard(page, received_row)), QString("已下载"), 15000);
    const Attachment file =
        Attachment::FromFileContent(page->View()->BubbleAt(received_row)->content);
    QCOMPARE(ReadAll(AttachmentPaths().Find(file)), received);
}

void TestChatE2e::voicePlaysAndStops() {
    MessagePage* page = OpenConversation(kWangFang, "王芳");
    QVERIFY(page);
    // Four seconds long: still playing when clicked again.
    const QByteArray tone = QByteArray::fromStdString(sample_pictures::Tone(4));
    QVERIFY(sim_.SendFile("wangfang", "zhanglei", 4, "留言.wav", tone, 1) > 0);
    QTRY_VERIFY_WITH_TIMEOUT(
        LastRow(page, 4) >= 0 &&
            QFile::exists(page->View()->BubbleAt(LastRow(page, 4))->local_path),
        10000);
    const int row = LastRow(page, 4);
    const auto content = [&] {
        MessageItem* item = ShownItem(page->View(), row);
        return item ? item->findChild<QLabel*>("item_content_lab_left") : nullptr;
    };
    QMediaPlayer* player = main_->Player();
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
    MainWidget* main = main_.get();
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

void TestChatE2e::reminderShowsCountsAndOpensItsPage() {
    QueuedSpy fixes(main_->Engine()->Parse(), &MsgParse::fix_sys_msg_count_ui);
    MessagePageSys* page = main_->PageMgr()->SysPage();
    QTRY_VERIFY_WITH_TIMEOUT(RowOf(page, 9701), 10000);
    const qint64 id = sim_.Remind("zhanglei", 9417, "关于期末考试安排的通知",
                                  "Web/Notice/NoticeView.aspx?Notice_ID=401");
    QVERIFY(id > 0);
    QTRY_VERIFY_WITH_TIMEOUT(
        Label(RowOf(page, 9417), "short_msg_lab")->toolTip() == "关于期末考试安排的通知" ||
            Label(RowOf(page, 9417), "short_msg_lab")->text() == "关于期末考试安排的通知",
        10000);
    MessageItemSys* notice = RowOf(page, 9417);
    QCOMPARE(Label(notice, "count_lab")->text(), QString("2"));
    // 9425 is not counted and so not listed.
    QVERIFY(!RowOf(page, 9425));
    // The list's system entry counts what the categories count.
    const int total = engine_test::Count("SELECT SUM(num) FROM num_update WHERE iscount=1");
    QVERIFY(total >= 2);
    QTRY_COMPARE(engine_test::Number(0), total);

    main_->PageMgr()->OnConnectItemChanged(0, "系统消息");
    Click(page, 9417);
    QTRY_COMPARE(links_.urls.size(), 1);
    QCOMPARE(links_.urls.at(0).toString(QUrl::None),
             sim_.UnitBase() + "//Web/Notice/NoticeView.aspx?Notice_ID=401");

    gui_test::ModalAnswerer answerer;
    Click(page, 9421);
    QTRY_COMPARE(answerer.Boxes(),
                 QStringList({"提示|PC客户端暂未上线，请到手机端查看。敬请期待"}));

    // Looked at, the reminders are read: the counts and the list's total go to 0.
    QTRY_VERIFY_WITH_TIMEOUT(!fixes.isEmpty() && fixes.last().at(0).toInt() == 0, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(!Label(RowOf(page, 9417), "count_lab")->isVisibleTo(page), 10000);
    QCOMPARE(page->UnreadRows(), 0);
}

CORAL_TEST_MAIN(TestChatE2e)
#include "tst_chat_e2e.moc"
