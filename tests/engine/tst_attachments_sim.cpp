// Attachments against platform-sim: a transfer that fails leaves no file behind, and one's own
// file sent from another device is fetched and reported.

#include <QtTest>

#include "EngineTestEnv.h"
#include "engine/EngineMetaTypes.h"
#include "engine/ResourceDownloader.h"
#include "tests/sim/SimCall.h"
#include "tests/support/TestMain.h"

using namespace engine_test;

namespace {

QByteArray Binary(int size, int step) {
    QByteArray data;
    for (int i = 0; i < size; ++i)
        data.append(static_cast<char>((i * step) % 251));
    return data;
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Every file in the user's message folder, whatever its name; hidden bookkeeping aside.
QStringList MessageFiles() {
    QStringList files;
    QDirIterator it(Account::MsgPath(), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next();
    return files;
}

QList<QByteArray> MessageFileContents() {
    QList<QByteArray> contents;
    for (const QString& file : MessageFiles())
        contents << ReadAll(file);
    return contents;
}

// The url of message `id` in the poll reply the user gets.
QString UrlOf(SimServer& sim, const QString& user_id, const QString& session, qint64 id) {
    for (const QJsonValue& m : sim_call::Messages(sim, user_id, session)) {
        if (m.toObject().value("Message_ID").toString() == QString::number(id))
            return m.toObject().value("MsgUrl").toString();
    }
    return QString();
}

}  // namespace

class TestAttachmentsSim : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { EngineMetaTypes::Register(); }
    void failedTransfersLeaveNoFile();
    void ownFileFromAnotherDevice();
};

void TestAttachmentsSim::failedTransfersLeaveNoFile() {
    SimServer sim(300);
    const QString session = sim.OpenSession("wangfang");
    QVERIFY(SignInAs("wangfang", 10002, sim.UnitRecord(), session));
    const QByteArray picture = Binary(40000, 7);
    const qint64 broken = sim.SendFile("zhanglei", "wangfang", 3, "课堂.png", Binary(40000, 3));
    const qint64 refused = sim.SendFile("zhanglei", "wangfang", 4, "朗读.wav", Binary(5000, 1), 3);
    const qint64 good = sim.SendFile("zhanglei", "wangfang", 3, "板书.png", picture);
    ResourceDownloader downloader;

    // The connection closes before the body; then the server answers with an error page.
    sim.SetFault("Upload", FaultKind::kDrop, 0, 1);
    downloader.OnDownloadResource(3, UrlOf(sim, "10002", session, broken));
    QTRY_COMPARE_WITH_TIMEOUT(sim.Answered("Upload"), 1, 20000);
    sim.SetFault("Upload", FaultKind::kStatus, 500, 1);
    downloader.OnDownloadResource(4, UrlOf(sim, "10002", session, refused));
    QTRY_COMPARE_WITH_TIMEOUT(sim.Answered("Upload"), 2, 20000);
    // A later download lands; the failed ones left nothing behind, not even a part.
    downloader.OnDownloadResource(3, UrlOf(sim, "10002", session, good));
    QTRY_VERIFY_WITH_TIMEOUT(MessageFileContents().contains(picture), 20000);
    QCOMPARE(MessageFiles().size(), 1);
}

void TestAttachmentsSim::ownFileFromAnotherDevice() {
    SimServer sim(300);
    const QString session = sim.OpenSession("zhanglei");
    QVERIFY(SignInAs("zhanglei", 10001, sim.UnitRecord(), session));
    const QByteArray data = Binary(30000, 13);
    const qint64 id = sim.SendFile("zhanglei", "wangfang", 2, "教案 第三课.docx", data);
    const QString url = QStringLiteral("%1|%2").arg(id).arg(UrlOf(sim, "10001", session, id));
    ResourceDownloader downloader;
    QSignalSpy back(&downloader, &ResourceDownloader::download_res_send_by_myself_reback);

    downloader.OnOpenResourceSendByMySelf(2, url);
    QVERIFY(back.wait(20000));
    QCOMPARE(MessageFileContents(), QList<QByteArray>{data});

    // A message that is not one's own: the refusal is reported and nothing is written.
    const qint64 other = sim.SendFile("wujun", "wangfang", 2, "别人的.docx", data);
    downloader.OnOpenResourceSendByMySelf(2, QStringLiteral("%1|x|别人的.docx").arg(other));
    QVERIFY(back.wait(20000));
    QVERIFY(back.at(1).at(0).toString() != back.at(0).at(0).toString());
    QCOMPARE(MessageFiles().size(), 1);
}

CORAL_TEST_GUILESS_MAIN(TestAttachmentsSim)
#include "tst_attachments_sim.moc"
