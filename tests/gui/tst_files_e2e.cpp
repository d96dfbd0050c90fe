// Attachments through the main window against platform-sim: a file sent from the page reaches
// the platform byte for byte and its card says "已发送"; a file 王芳 sends is downloaded whole
// from its card; her voice message plays through the window's player, shows it, and a second
// click stops it.

#include <QLabel>
#include <QMediaPlayer>
#include <QPushButton>
#include <QtTest>

#include "MainWindowTestUtil.h"
#include "chat/MessageItem.h"
#include "chat/MsgFileItem.h"
#include "engine/MsgController.h"
#include "engine/MsgParse.h"
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

// Four seconds of silence, 8 kHz mono 16 bit.
QByteArray Wav() {
    const quint32 rate = 8000;
    const quint32 size = 4 * rate * 2;
    QByteArray wav;
    QDataStream out(&wav, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData("RIFF", 4);
    out << quint32(36 + size);
    out.writeRawData("WAVEfmt ", 8);
    out << quint32(16) << quint16(1) << quint16(1) << rate << rate * 2 << quint16(2) << quint16(16);
    out.writeRawData("data", 4);
    out << size;
    return wav + QByteArray(size, '\0');
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

}  // namespace

class TestFilesE2e : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(w_.Ready()); }
    void init() {
        QVERIFY(w_.Open());
        page_ = w_.OpenConversation(kWangFang, "王芳");
        QVERIFY(page_);
    }
    void cleanup() { w_.main.reset(); }
    void sentFileArrivesWhole();
    void receivedFileDownloadsFromItsCard();
    void voicePlaysAndStops();

private:
    SimWindow w_;
    MessagePage* page_ = nullptr;
};

void TestFilesE2e::sentFileArrivesWhole() {
    QueuedSpy states(w_.main->Engine()->Parse(), &MsgParse::update_msg_send_reback_state);
    QTemporaryDir dir;
    const QString path = dir.filePath("期末 复习 资料.pdf");
    const QByteArray data = Binary(300 * 1000 + 7);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(data) == data.size());
    file.close();

    page_->OnSendFile(path);
    const int row = page_->View()->count() - 1;
    MsgFileItem* card = FileCard(page_, row);
    QVERIFY(card);
    QCOMPARE(StateText(card), QString("发送中..."));
    QVERIFY(states.waitFor(1, 10000));
    QCOMPARE(states.at(0).at(2).toInt(), 1);
    const QString message_id = states.at(0).at(3).toString();
    QTRY_COMPARE(StateText(FileCard(page_, row)), QString("已发送"));

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

void TestFilesE2e::receivedFileDownloadsFromItsCard() {
    const QByteArray data = Binary(2 << 20);
    QVERIFY(w_.sim.SendFile("wangfang", "zhanglei", 2, "成绩汇总.xlsx", data) > 0);
    QTRY_VERIFY_WITH_TIMEOUT(
        LastRow(page_, 2) >= 0 &&
            page_->View()->BubbleAt(LastRow(page_, 2))->content.contains("成绩汇总.xlsx"),
        10000);
    const int row = LastRow(page_, 2);
    MsgFileItem* card = FileCard(page_, row);
    QVERIFY(card);
    QCOMPARE(StateText(card), QString("未下载"));
    QTest::mouseClick(card->findChild<QPushButton*>("msg_file_download_btn_rec"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(StateText(FileCard(page_, row)), QString("已下载"), 15000);
    const Attachment file = Attachment::FromFileContent(page_->View()->BubbleAt(row)->content);
    QCOMPARE(ReadAll(AttachmentPaths().Find(file)), data);
}

void TestFilesE2e::voicePlaysAndStops() {
    QVERIFY(w_.sim.SendFile("wangfang", "zhanglei", 4, "留言.wav", Wav(), 1) > 0);
    QTRY_VERIFY_WITH_TIMEOUT(
        LastRow(page_, 4) >= 0 &&
            QFile::exists(page_->View()->BubbleAt(LastRow(page_, 4))->local_path),
        10000);
    const int row = LastRow(page_, 4);
    const auto content = [&] {
        MessageItem* item = ShownItem(page_->View(), row);
        return item ? item->findChild<QLabel*>("item_content_lab_left") : nullptr;
    };
    QMediaPlayer* player = w_.main->Player();
    QSignalSpy player_states(player, &QMediaPlayer::stateChanged);
    QTest::mouseRelease(content(), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!player_states.isEmpty(), 10000);
    QCOMPARE(player_states.first().at(0).value<QMediaPlayer::State>(), QMediaPlayer::PlayingState);
    QCOMPARE(player->currentMedia().request().url().toLocalFile(),
             page_->View()->BubbleAt(row)->local_path);
    QVERIFY(page_->View()->BubbleAt(row)->playing);

    QTest::mouseRelease(content(), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(player->state(), QMediaPlayer::StoppedState, 10000);
    QTRY_VERIFY(!page_->View()->BubbleAt(row)->playing);
    // Stopped by the click, not ended on its own and started again.
    QCOMPARE(player_states.size(), 2);
}

CORAL_TEST_MAIN(TestFilesE2e)
#include "tst_files_e2e.moc"
