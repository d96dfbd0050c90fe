// Attachments: file downloads and their states, media fetched from the upload folder, and the
// thumbnail of a video.

#include <QtTest>

#include "EngineTestEnv.h"
#include "engine/EngineMetaTypes.h"
#include "engine/ResourceDownloader.h"
#include "engine/VideoThumbnail.h"
#include "tests/support/TestMain.h"

using namespace engine_test;

namespace {

using States = QHash<QString, QString>;

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray Binary() {
    QByteArray data;
    for (int i = 0; i < 5000; ++i)
        data.append(static_cast<char>(i % 251));
    return data;
}

}  // namespace

class TestResourceDownloader : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { EngineMetaTypes::Register(); }

    void fileDownloadsReportTheirState();
    void mediaIsFetchedFromTheUploadFolder();
};

void TestResourceDownloader::fileDownloadsReportTheirState() {
    TestHttpServer server;
    QVERIFY(SignIn(server.Url("/")));
    ResourceDownloader downloader;
    QSignalSpy states(&downloader, &ResourceDownloader::update_download_percent);
    QFile present(ResourceDownloader::LocalPath(2, "已有.pdf"));
    QVERIFY(present.open(QIODevice::WriteOnly));
    present.close();
    downloader.OnDownloadResource(2, "41|files/41|已有.pdf");
    QCOMPARE(states.last().at(0).value<States>(), (States{{"41", "100"}}));
    QVERIFY(server.Requests().isEmpty());

    const QList<QPair<QString, QByteArray>> answers = {
        {"42|files/42|../教案 1.doc",
         Envelope({{"EID", "0"}, {"Base64Data", QString::fromLatin1(Binary().toBase64())}})},
        {"43|files/43|old.doc", Envelope({{"EID", "2"}, {"ErrorMessage", "文件已过期"}})},
        {"44|files/44|bad.doc", "<html>"}};
    for (const auto& answer : answers) {
        server.Reply(200, answer.second);
        downloader.OnDownloadResource(2, answer.first);
        QVERIFY(states.wait());
    }
    QCOMPARE(Field(server.Requests().first(), "Message_ID"), QString("42"));
    QCOMPARE(ReadAll(ResourceDownloader::LocalPath(2, "教案 1.doc")), Binary());
    QCOMPARE(
        states.last().at(0).value<States>(),
        (States{{"41", "100"}, {"42", "100"}, {"43", "err: 文件已过期"}, {"44", "err: invalid"}}));
    QVERIFY(!QFile::exists(ResourceDownloader::LocalPath(2, "bad.doc")));
}

void TestResourceDownloader::mediaIsFetchedFromTheUploadFolder() {
    TestHttpServer server;
    QVERIFY(SignIn(server.Url("/")));
    ResourceDownloader downloader;
    QSignalSpy audio(&downloader, &ResourceDownloader::play_audio_file);
    QSignalSpy received(&server, &TestHttpServer::received);
    server.Reply(200, Binary());
    downloader.OnDownloadResource(3, "no-bar.png");
    downloader.OnDownloadResource(3, "pic/9.png|照片.png");
    const QString picture = ResourceDownloader::LocalPath(3, "照片.png");
    QTRY_COMPARE(ReadAll(picture), Binary());
    QCOMPARE(server.Requests().size(), 1);
    QCOMPARE(server.Requests().first().target, QByteArray("/Upload/pic/9.png"));

    // Clicked audio that is not there yet is fetched; once there, it plays.
    downloader.OnOpenResource(4, "a/1.amr|语音.amr|12");
    const QString voice = ResourceDownloader::LocalPath(4, "语音.amr");
    QTRY_VERIFY(QFile::exists(voice));
    downloader.OnOpenResource(4, "a/1.amr|语音.amr|12");
    QCOMPARE(audio.size(), 1);
    QCOMPARE(audio.at(0).at(0).toString(), voice);

    QTemporaryDir dir;
    const QString clip = dir.filePath("clip.mp4");
    if (QProcess::execute(VideoThumbnail::Program(), {"-loglevel", "quiet", "-f", "lavfi", "-i",
                                                      "testsrc=duration=1:size=64x48:rate=10",
                                                      "-pix_fmt", "yuv420p", clip}) != 0)
        QSKIP("no ffmpeg to make a test video");
    server.Reply(200, ReadAll(clip));
    downloader.OnDownloadResource(5, "v/clip.mp4|课堂 录像.mp4");
    const QString thumbnail =
        VideoThumbnail::PathFor(ResourceDownloader::LocalPath(5, "课堂 录像.mp4"));
    QTRY_VERIFY(QFile::exists(thumbnail));
    QVERIFY(!QImage(thumbnail).isNull());
}

CORAL_TEST_GUILESS_MAIN(TestResourceDownloader)
#include "tst_resourcedownloader.moc"
