// Attachments: file downloads with their states, media fetched from the upload folder, video
// thumbnails, and files of one's own from another device.

#include <QtTest>

#include "EngineTestEnv.h"
#include "engine/EngineMetaTypes.h"
#include "engine/ResourceDownloader.h"
#include "engine/VideoThumbnail.h"

using namespace engine_test;

namespace {

using States = QHash<QString, QString>;

States LastStates(const QSignalSpy& spy) {
    return spy.last().at(0).value<States>();
}

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
    void ownFileFromAnotherDevice();
};

void TestResourceDownloader::fileDownloadsReportTheirState() {
    CannedServer server;
    server.SetHandler([](const CannedRequest& request) -> CannedReply {
        const QString id = request.Field("Message_ID");
        if (id == "42")
            return Json({{"EID", "0"}, {"Base64Data", QString::fromLatin1(Binary().toBase64())}});
        if (id == "43")
            return Json({{"EID", "2"}, {"ErrorMessage", "文件已过期"}});
        return {200, "oops"};
    });
    QVERIFY(SignIn(server.Base()));
    ResourceDownloader downloader;
    QSignalSpy states(&downloader, &ResourceDownloader::update_download_percent);
    downloader.OnStart();

    QFile present(ResourceDownloader::LocalPath(2, QStringLiteral("已有.pdf")));
    QVERIFY(present.open(QIODevice::WriteOnly));
    present.close();
    downloader.OnDownloadResource(2, QStringLiteral("41|files/41|已有.pdf"));
    QCOMPARE(LastStates(states), (States{{"41", "100"}}));
    QVERIFY(server.requests.isEmpty());

    downloader.OnDownloadResource(2, QStringLiteral("42|files/42|教案 1.doc"));
    QTRY_COMPARE(states.size(), 2);
    QCOMPARE(LastStates(states), (States{{"41", "100"}, {"42", "100"}}));
    QCOMPARE(ReadAll(ResourceDownloader::LocalPath(2, QStringLiteral("教案 1.doc"))), Binary());
    QVERIFY(server.requests.first().path.endsWith(QLatin1String("MessageFile_Download")));
    QCOMPARE(server.requests.first().Field("SessionID"), QStringLiteral("session-1"));

    downloader.OnDownloadResource(2, QStringLiteral("43|files/43|old.doc"));
    QTRY_COMPARE(states.size(), 3);
    downloader.OnDownloadResource(2, QStringLiteral("44|files/44|bad.doc"));
    QTRY_COMPARE(states.size(), 4);
    QCOMPARE(LastStates(states), (States{{"41", "100"},
                                         {"42", "100"},
                                         {"43", QStringLiteral("err: 文件已过期")},
                                         {"44", "err: invalid"}}));
    QVERIFY(!QFile::exists(ResourceDownloader::LocalPath(2, QStringLiteral("bad.doc"))));
}

void TestResourceDownloader::mediaIsFetchedFromTheUploadFolder() {
    QTemporaryDir dir;
    const QString video = dir.filePath(QStringLiteral("clip.mp4"));
    const bool have_ffmpeg =
        QProcess::execute(VideoThumbnail::Program(), {"-loglevel", "quiet", "-f", "lavfi", "-i",
                                                      "testsrc=duration=1:size=64x48:rate=10",
                                                      "-pix_fmt", "yuv420p", video}) == 0;
    const QByteArray video_bytes = ReadAll(video);

    CannedServer server;
    server.SetHandler([&video_bytes](const CannedRequest& request) -> CannedReply {
        if (request.path.endsWith(QLatin1String(".mp4")))
            return {200, video_bytes};
        return {200, Binary()};
    });
    QVERIFY(SignIn(server.Base()));
    ResourceDownloader downloader;
    QSignalSpy audio(&downloader, &ResourceDownloader::play_audio_file);
    downloader.OnStart();

    downloader.OnDownloadResource(3, QStringLiteral("no-bar.png"));
    downloader.OnDownloadResource(3, QStringLiteral("pic/9.png|照片.png"));
    const QString picture = ResourceDownloader::LocalPath(3, QStringLiteral("照片.png"));
    QTRY_VERIFY(QFile::exists(picture));
    QCOMPARE(ReadAll(picture), Binary());
    QCOMPARE(server.requests.size(), 1);
    QCOMPARE(server.requests.first().path, QStringLiteral("/Upload/pic/9.png"));

    // Clicking audio that is not there yet fetches it; once there, it plays.
    downloader.OnOpenResource(4, QStringLiteral("a/1.amr|语音.amr"));
    const QString voice = ResourceDownloader::LocalPath(4, QStringLiteral("语音.amr"));
    QTRY_VERIFY(QFile::exists(voice));
    QVERIFY(audio.isEmpty());
    downloader.OnOpenResource(4, QStringLiteral("a/1.amr|语音.amr"));
    QCOMPARE(audio.size(), 1);
    QCOMPARE(audio.at(0).at(0).toString(), voice);

    if (!have_ffmpeg)
        QSKIP("no ffmpeg to make a test video");
    downloader.OnDownloadResource(5, QStringLiteral("v/clip.mp4|课堂 录像.mp4"));
    const QString thumbnail =
        VideoThumbnail::PathFor(ResourceDownloader::LocalPath(5, QStringLiteral("课堂 录像.mp4")));
    QTRY_VERIFY(QFile::exists(thumbnail));
    QVERIFY(!QImage(thumbnail).isNull());
}

void TestResourceDownloader::ownFileFromAnotherDevice() {
    CannedServer server;
    server.SetHandler([](const CannedRequest& request) -> CannedReply {
        const QString id = request.Field("Message_ID");
        if (id == "50")
            return Json({{"EID", "0"}, {"Base64Data", QString::fromLatin1(Binary().toBase64())}});
        if (id == "51")
            return Json({{"EID", "9"}, {"ErrorMessage", "无权限"}});
        return {200, "<html>"};
    });
    QVERIFY(SignIn(server.Base()));
    ResourceDownloader downloader;
    QSignalSpy replies(&downloader, &ResourceDownloader::download_res_send_by_myself_reback);
    downloader.OnStart();
    downloader.OnOpenResourceSendByMySelf(2, QStringLiteral("50|f/50|../报告.doc"));
    QVERIFY(replies.wait());
    const QString path = ResourceDownloader::LocalPath(2, QStringLiteral("报告.doc"));
    QCOMPARE(replies.at(0).at(0).toString(), path);
    QCOMPARE(ReadAll(path), Binary());
    downloader.OnOpenResourceSendByMySelf(2, QStringLiteral("51|f/51|x.doc"));
    QVERIFY(replies.wait());
    downloader.OnOpenResourceSendByMySelf(2, QStringLiteral("52|f/52|y.doc"));
    QVERIFY(replies.wait());
    QCOMPARE(replies.at(1).at(0).toString(), QStringLiteral("无权限"));
    QCOMPARE(replies.at(2).at(0).toString(), QStringLiteral("error: invalid"));
}

QTEST_GUILESS_MAIN(TestResourceDownloader)
#include "tst_resourcedownloader.moc"
