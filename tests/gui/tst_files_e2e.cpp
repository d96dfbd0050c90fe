// Attachments through the main window against platform-sim: a file sent from the page reaches
// the platform byte for byte and its card says "已发送"; a file 王芳 sends is downloaded whole
// from its card; her voice message plays through the window's player, shows it, and a second
// click stops it.

#include <QLabel>
#include <QMediaPlayer>
#include <QPushButton>
#include <QtTest>
#include <cmath>
#include <memory>

#include "ChatTestUtil.h"
#include "chat/ChatView.h"
#include "chat/MainWidget.h"
#include "chat/MessageItem.h"
#include "chat/MessagePage.h"
#include "chat/MessagePageMgr.h"
#include "chat/MsgFileItem.h"
#include "engine/EngineMetaTypes.h"
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

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Four seconds of a quiet 440 Hz tone, 8 kHz mono 16 bit.
QByteArray Wav() {
    const int rate = 8000;
    QByteArray samples;
    for (int i = 0; i < 4 * rate; ++i) {
        const auto value = static_cast<qint16>(800 * std::sin(2 * M_PI * 440 * i / rate));
        samples.append(reinterpret_cast<const char*>(&value), 2);
    }
    QByteArray wav;
    QDataStream out(&wav, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData("RIFF", 4);
    out << quint32(36 + samples.size());
    out.writeRawData("WAVEfmt ", 8);
    out << quint32(16) << quint16(1) << quint16(1) << quint32(rate) << quint32(rate * 2)
        << quint16(2) << quint16(16);
    out.writeRawData("data", 4);
    out << quint32(samples.size());
    out.writeRawData(samples.constData(), samples.size());
    return wav;
}

// The last row of `type` in the page, -1 when none.
int LastRow(MessagePage* page, int type) {
    for (int row = page->View()->count() - 1; row >= 0; --row) {
        if (page->View()->BubbleAt(row)->msg_type == type)
            return row;
    }
    return -1;
}

QString StateText(MsgFileItem* item) {
    const auto labels = item->findChildren<QLabel*>(QRegularExpression("^msg_file_state_lab_"));
    return labels.isEmpty() ? QString() : labels.first()->text();
}

}  // namespace

class TestFilesE2e : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        EngineMetaTypes::Register();
        QVERIFY(sim_.IsRunning());
    }
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
    void sentFileArrivesWhole();
    void receivedFileDownloadsFromItsCard();
    void voicePlaysAndStops();

private:
    MessagePage* Open(int other_id, const QString& name) {
        main_->PageMgr()->OnConnectItemChanged(other_id, name);
        return main_->PageMgr()->Page(other_id);
    }
    MsgFileItem* FileCard(MessagePage* page, int row) {
        page->View()->scrollToItem(page->View()->item(row));
        if (!QTest::qWaitFor([&] { return page->View()->ItemAt(row) != nullptr; }))
            return nullptr;
        return page->View()->ItemAt(row)->FileItem();
    }

    SimServer sim_{2000, 300};
    QString session_;
    std::unique_ptr<MainWidget> main_;
};

void TestFilesE2e::sentFileArrivesWhole() {
    QueuedSpy states(main_->Engine()->Parse(), &MsgParse::update_msg_send_reback_state);
    MessagePage* page = Open(kWangFang, "王芳");
    QTRY_VERIFY_WITH_TIMEOUT(!page->IsEmpty(), 10000);
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
        .Add("SessionID", session_)
        .Add("Message_ID", message_id);
    const Json stored = sim_call::Post(
        Services::InterfaceUrlSlashed(sim_.UnitBase(), "MessageFile_Download"), body);
    QCOMPARE(stored.Text("Velta.EID"), QString("0"));
    QCOMPARE(stored.Text("Velta.FileName"), QString("期末 复习 资料.pdf"));
    QCOMPARE(QByteArray::fromBase64(stored.Text("Velta.Base64Data").toLatin1()), data);
}

void TestFilesE2e::receivedFileDownloadsFromItsCard() {
    MessagePage* page = Open(kWangFang, "王芳");
    QTRY_VERIFY_WITH_TIMEOUT(!page->IsEmpty(), 10000);
    const QByteArray data = Binary(2 << 20);
    QVERIFY(sim_.SendFile("wangfang", "zhanglei", 2, "成绩汇总.xlsx", data) > 0);
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

void TestFilesE2e::voicePlaysAndStops() {
    MessagePage* page = Open(kWangFang, "王芳");
    QTRY_VERIFY_WITH_TIMEOUT(!page->IsEmpty(), 10000);
    QVERIFY(sim_.SendFile("wangfang", "zhanglei", 4, "留言.wav", Wav(), 1) > 0);
    QTRY_VERIFY_WITH_TIMEOUT(
        LastRow(page, 4) >= 0 &&
            QFile::exists(page->View()->BubbleAt(LastRow(page, 4))->local_path),
        10000);
    const int row = LastRow(page, 4);
    const auto content = [&] {
        page->View()->scrollToItem(page->View()->item(row));
        const bool shown = QTest::qWaitFor([&] { return page->View()->ItemAt(row) != nullptr; });
        return shown ? page->View()->ItemAt(row)->findChild<QLabel*>("item_content_lab_left")
                     : nullptr;
    };
    QSignalSpy player_states(main_->Player(), &QMediaPlayer::stateChanged);
    QTest::mouseRelease(content(), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!player_states.isEmpty(), 10000);
    QCOMPARE(player_states.first().at(0).value<QMediaPlayer::State>(), QMediaPlayer::PlayingState);
    QCOMPARE(main_->Player()->currentMedia().request().url().toLocalFile(),
             page->View()->BubbleAt(row)->local_path);
    QVERIFY(page->View()->BubbleAt(row)->playing);

    QTest::mouseRelease(content(), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(main_->Player()->state(), QMediaPlayer::StoppedState, 10000);
    QTRY_VERIFY(!page->View()->BubbleAt(row)->playing);
    // Stopped by the click, not ended on its own and started again.
    QCOMPARE(player_states.size(), 2);
}

CORAL_TEST_MAIN(TestFilesE2e)
#include "tst_files_e2e.moc"
