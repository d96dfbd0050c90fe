// The demo history offers an attachment of every kind, and each is a file the desktop's
// programs and ffmpeg can read.

#include <QtTest>

#include "tests/sim/SimCall.h"
#include "tests/support/TestMain.h"

using namespace sim_call;

namespace {

quint32 U32(const QByteArray& data, int at) {
    return qFromLittleEndian<quint32>(data.constData() + at);
}

}  // namespace

class TestDemoMedia : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void everyKindIsThere();
    void videoPlaysAndGivesAFrame();

private:
    QByteArray Fetch(int type);

    SimServer sim_{300};
    QString session_;
    // msg_type -> "Message_ID|MsgUrl" of each attachment of 张磊's history
    QMultiMap<int, QString> attachments_;
};

void TestDemoMedia::initTestCase() {
    QVERIFY(sim_.IsRunning());
    session_ = sim_.OpenSession("zhanglei");
    for (const QJsonValue& value : Messages(sim_, "10001", session_)) {
        const QJsonObject message = value.toObject();
        const int type = message.value("MsgType").toString().toInt();
        if (type >= 2 && type <= 5) {
            attachments_.insert(type, message.value("Message_ID").toString() + '|' +
                                          message.value("MsgUrl").toString());
        }
    }
}

QByteArray TestDemoMedia::Fetch(int type) {
    const QString entry = attachments_.value(type);
    return Get(sim_.UnitBase() + "Upload/" + entry.section('|', 1, 1));
}

void TestDemoMedia::everyKindIsThere() {
    QCOMPARE(attachments_.count(3), 1);
    QCOMPARE(attachments_.count(4), 1);
    QCOMPARE(attachments_.count(5), 1);
    QVERIFY(attachments_.count(2) >= 2);

    const QByteArray picture = Fetch(3);
    QVERIFY(picture.startsWith("\x89PNG"));
    const QByteArray voice = Fetch(4);
    QVERIFY(voice.startsWith("RIFF") && voice.mid(8, 4) == "WAVE");
    // The length in the url is the sound's own.
    const int seconds = attachments_.value(4).section('|', 3, 3).toInt();
    QVERIFY(seconds > 0);
    QCOMPARE(U32(voice, 40) / U32(voice, 28), quint32(seconds));

    // A small file and one of a few MB, fetched as the client does.
    QList<int> sizes;
    for (const QString& entry : attachments_.values(2)) {
        const Json reply =
            Post(Services::InterfaceUrlSlashed(sim_.UnitBase(), "MessageFile_Download"),
                 FormBody()
                     .Add("User_ID", "10001")
                     .Add("SessionID", session_)
                     .Add("Message_ID", entry.section('|', 0, 0)));
        const QByteArray file = QByteArray::fromBase64(reply.Text("Velta.Base64Data").toLatin1());
        sizes.append(file.size());
        if (entry.section('|', 2, 2).endsWith(".bmp")) {
            QVERIFY(file.startsWith("BM"));
            QCOMPARE(U32(file, 2), quint32(file.size()));
        }
    }
    std::sort(sizes.begin(), sizes.end());
    QVERIFY(sizes.first() > 0 && sizes.first() < 10000);
    QVERIFY(sizes.last() > 2000000 && sizes.last() < 10000000);
}

void TestDemoMedia::videoPlaysAndGivesAFrame() {
    QTemporaryDir dir;
    const QString video = dir.filePath("clip.avi");
    QFile file(video);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(Fetch(5));
    file.close();
    QProcess probe;
    probe.start("ffprobe",
                {"-v", "error", "-count_frames", "-show_entries",
                 "stream=codec_type,width,height,nb_read_frames", "-of", "csv=p=0", video});
    if (!probe.waitForFinished(30000) || probe.exitStatus() != QProcess::NormalExit)
        QSKIP("no ffprobe to read the video (./test installs ffmpeg)");
    QCOMPARE(probe.readAllStandardOutput().trimmed(), QByteArray("video,224,168,30"));
    // The frame the client takes for the thumbnail.
    QProcess::execute("ffmpeg", {"-v", "error", "-i", video, "-y", "-f", "image2", "-ss",
                                 "00:00:00.2", dir.filePath("frame.png")});
    QFile frame(dir.filePath("frame.png"));
    QVERIFY(frame.open(QIODevice::ReadOnly));
    QVERIFY(frame.read(4) == "\x89PNG");
}

CORAL_TEST_GUILESS_MAIN(TestDemoMedia)
#include "tst_demo_media.moc"
