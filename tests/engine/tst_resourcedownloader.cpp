// Attachments: file downloads and their states, media fetched from the upload folder, files of
// the same name kept apart, what a click opens or plays, and the thumbnail of a video.

#include <QtTest>

#include "EngineTestEnv.h"
#include "engine/AttachmentPaths.h"
#include "engine/EngineMetaTypes.h"
#include "engine/ResourceDownloader.h"
#include "engine/VideoThumbnail.h"
#include "platform/FileOpener.h"
#include "tests/support/TestMain.h"

using namespace engine_test;

namespace {

using States = QHash<QString, QString>;

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WriteAll(const QString& path, const QByteArray& data) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

QByteArray Binary(int seed = 0, int size = 5000) {
    QByteArray data;
    for (int i = 0; i < size; ++i)
        data.append(static_cast<char>((i + seed) % 251));
    return data;
}

QByteArray FileAnswer(const QByteArray& file) {
    return Envelope({{"EID", "0"}, {"Base64Data", QString::fromLatin1(file.toBase64())}});
}

QString StateOf(const QSignalSpy& spy, const QString& message_id) {
    return spy.isEmpty() ? QString() : spy.last().at(0).value<States>().value(message_id);
}

// The states one message went through, in order, without repeats.
QStringList History(const QSignalSpy& spy, const QString& message_id) {
    QStringList history;
    for (const QList<QVariant>& call : spy) {
        const QString state = call.at(0).value<States>().value(message_id);
        if (!state.isEmpty() && (history.isEmpty() || history.last() != state))
            history.append(state);
    }
    return history;
}

QString ReceivedFile(int type, const QString& url) {
    return AttachmentPaths().Find(Attachment::FromRequest(type, url));
}

}  // namespace

class TestResourceDownloader : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { EngineMetaTypes::Register(); }
    void init() {
        opened_.clear();
        FileOpener::SetUrlHandler([this](const QUrl& url) {
            opened_.append(url.toLocalFile());
            return true;
        });
    }
    void cleanup() { FileOpener::SetUrlHandler(nullptr); }

    void fileDownloadsReportTheirState();
    void oneRequestPerFileAtATime();
    void sameNameFilesAreKeptApart();
    void ownFilesAreFoundWhereTheyWereSent();
    void mediaIsFetchedThenPlayedOrOpened();
    void programsAreShownInTheirFolder();
    void videoGetsAThumbnail();

private:
    QStringList opened_;
};

void TestResourceDownloader::fileDownloadsReportTheirState() {
    TestHttpServer server;
    QVERIFY(SignIn(server.Url("/")));
    ResourceDownloader downloader;
    QSignalSpy states(&downloader, &ResourceDownloader::update_download_percent);
    const Attachment present = Attachment::FromRequest(2, "41|files/41|已有.pdf");
    AttachmentPaths paths;
    QVERIFY(paths.Claim(present, paths.DownloadPath(present)));
    QVERIFY(WriteAll(paths.DownloadPath(present), "pdf"));
    downloader.OnDownloadResource(2, "41|files/41|已有.pdf");
    QCOMPARE(states.last().at(0).value<States>(), (States{{"41", "100"}}));
    QVERIFY(server.Requests().isEmpty());

    const QByteArray big = Binary(1, 3 << 20);
    const QList<QPair<QString, QByteArray>> answers = {
        {"42|files/42|../教案 1.doc", FileAnswer(big)},
        {"43|files/43|old.doc", Envelope({{"EID", "2"}, {"ErrorMessage", "文件已过期"}})},
        {"44|files/44|bad.doc", "<html>"},
        {"45|files/45|cut.doc", Envelope({{"EID", "0"}, {"Base64Data", "QUJD*RA=="}})}};
    for (const auto& answer : answers) {
        server.Reply(200, answer.second);
        downloader.OnDownloadResource(2, answer.first);
        const QString id = answer.first.section('|', 0, 0);
        QTRY_VERIFY(StateOf(states, id) == "100" || StateOf(states, id).startsWith("err:"));
    }
    QCOMPARE(Field(server.Requests().first(), "Message_ID"), QString("42"));
    QCOMPARE(ReadAll(ReceivedFile(2, "42|files/42|教案 1.doc")), big);
    QVERIFY(ReceivedFile(2, "42|files/42|教案 1.doc").endsWith("/file/教案 1.doc"));
    // Counted up while on its way, each state once.
    const QStringList progress = History(states, "42");
    QCOMPARE(progress.first(), QString("0"));
    QCOMPARE(progress.last(), QString("100"));
    for (int i = 1; i + 1 < progress.size(); ++i)
        QVERIFY(progress.at(i).toInt() > progress.at(i - 1).toInt() &&
                progress.at(i).toInt() < 100);
    QCOMPARE(states.last().at(0).value<States>(), (States{{"41", "100"},
                                                          {"42", "100"},
                                                          {"43", "err: 文件已过期"},
                                                          {"44", "err: invalid"},
                                                          {"45", "err: invalid"}}));
    QVERIFY(ReceivedFile(2, "44|files/44|bad.doc").isEmpty());
    QVERIFY(!QFile::exists(Account::MsgPath() + "/file/cut.doc"));
}

void TestResourceDownloader::oneRequestPerFileAtATime() {
    TestHttpServer server;
    QVERIFY(SignIn(server.Url("/")));
    ResourceDownloader downloader;
    QSignalSpy states(&downloader, &ResourceDownloader::update_download_percent);
    server.Reply(200, FileAnswer("once"));
    downloader.OnDownloadResource(2, "51|files/51|一次.txt");
    downloader.OnOpenResource(2, "51|files/51|一次.txt");
    downloader.OnDownloadResource(2, "51|files/51|一次.txt");
    QTRY_COMPARE(StateOf(states, "51"), QString("100"));
    // Asked again once it is here: no request, the same state.
    downloader.OnDownloadResource(2, "51|files/51|一次.txt");
    QCOMPARE(server.Requests().size(), 1);
    QCOMPARE(StateOf(states, "51"), QString("100"));
    // A file download is no open: the user opens it with its own button.
    QVERIFY(opened_.isEmpty());
}

void TestResourceDownloader::sameNameFilesAreKeptApart() {
    TestHttpServer server;
    QVERIFY(SignIn(server.Url("/")));
    // Left by an earlier version: nobody's file as far as the messages can tell.
    QVERIFY(WriteAll(Account::MsgPath() + "/file/计划.doc", "old"));
    {
        ResourceDownloader downloader;
        QSignalSpy states(&downloader, &ResourceDownloader::update_download_percent);
        for (const QString& id : {"61", "62"}) {
            server.Reply(200, FileAnswer("plan " + id.toLatin1()));
            downloader.OnDownloadResource(2, id + "|files/" + id + "|计划.doc");
            QTRY_COMPARE(StateOf(states, id), QString("100"));
        }
        server.Reply(200, "first picture");
        downloader.OnDownloadResource(3, "pic/1.png|照片.png");
        QTRY_VERIFY(!ReceivedFile(3, "pic/1.png|照片.png").isEmpty());
        server.Reply(200, "second picture");
        downloader.OnDownloadResource(3, "pic/2.png|照片.png|");
        QTRY_VERIFY(!ReceivedFile(3, "pic/2.png|照片.png").isEmpty());
    }
    // A new helper, as after a restart, finds each message's own file again.
    const QString first = ReceivedFile(2, "61|files/61|计划.doc");
    const QString second = ReceivedFile(2, "62|files/62|计划.doc");
    QVERIFY(first != second);
    QCOMPARE(ReadAll(first), QByteArray("plan 61"));
    QCOMPARE(ReadAll(second), QByteArray("plan 62"));
    QCOMPARE(ReadAll(Account::MsgPath() + "/file/计划.doc"), QByteArray("old"));
    QCOMPARE(QFileInfo(second).suffix(), QString("doc"));
    QCOMPARE(QFileInfo(second).absolutePath(), Account::MsgPath() + "/file");
    QCOMPARE(ReadAll(ReceivedFile(3, "pic/1.png|照片.png|")), QByteArray("first picture"));
    QCOMPARE(ReadAll(ReceivedFile(3, "pic/2.png|照片.png")), QByteArray("second picture"));
    QVERIFY(ReceivedFile(3, "pic/3.png|照片.png").isEmpty());

    // The first file's plain name was taken: deleting it does not hand the name to another.
    QVERIFY(QFile::remove(Account::MsgPath() + "/image/照片.png"));
    ResourceDownloader downloader;
    server.Reply(200, "third picture");
    downloader.OnDownloadResource(3, "pic/3.png|照片.png");
    QTRY_VERIFY(!ReceivedFile(3, "pic/3.png|照片.png").isEmpty());
    QVERIFY(ReceivedFile(3, "pic/1.png|照片.png").isEmpty());

    downloader.OnOpenResource(2, "62|files/62|计划.doc");
    QCOMPARE(opened_, QStringList{second});
}

void TestResourceDownloader::ownFilesAreFoundWhereTheyWereSent() {
    TestHttpServer server;
    QVERIFY(SignIn(server.Url("/")));
    QTemporaryDir dir;
    const QString sent = dir.filePath("我的 总结.docx");
    QVERIFY(WriteAll(sent, "mine"));
    AttachmentPaths paths;
    // Unsent: the url is still the local path.
    QCOMPARE(paths.Find(Attachment::FromFileContent(sent)), sent);
    QCOMPARE(paths.Find(Attachment::FromFileContent("MsgID_-1|1|" + sent)), sent);
    // Accepted (id 71), then back from the server with its reference instead of the path.
    QVERIFY(paths.RecordSent("71", sent));
    const Attachment echoed = Attachment::FromFileContent("MsgID_71|1|files/71|我的 总结.docx|1");
    QCOMPARE(AttachmentPaths().Find(echoed), sent);
    QCOMPARE(echoed.RequestText(), QString("71|files/71|我的 总结.docx"));
    // The same message seen as someone else's is not the local file.
    QVERIFY(paths.Find(Attachment::FromRequest(2, echoed.RequestText())).isEmpty());

    ResourceDownloader downloader;
    QSignalSpy reback(&downloader, &ResourceDownloader::download_res_send_by_myself_reback);
    QSignalSpy states(&downloader, &ResourceDownloader::update_download_percent);
    downloader.OnOpenResourceSendByMySelf(2, echoed.RequestText());
    QCOMPARE(opened_, QStringList{sent});
    QCOMPARE(reback.size(), 1);
    QVERIFY(server.Requests().isEmpty());

    // Sent from another computer: fetched, kept in the file folder and opened.
    server.Reply(200, FileAnswer("from the phone"));
    downloader.OnOpenResourceSendByMySelf(2, "72|files/72|我的 总结.docx");
    QVERIFY(reback.wait());
    const QString fetched = ReceivedFile(2, "72|files/72|我的 总结.docx");
    QCOMPARE(reback.last().at(0).toString(), fetched);
    QCOMPARE(ReadAll(fetched), QByteArray("from the phone"));
    QCOMPARE(opened_.last(), fetched);
    server.Reply(200, Envelope({{"EID", "3"}, {"ErrorMessage", "文件已删除"}}));
    downloader.OnOpenResourceSendByMySelf(2, "73|files/73|旧.docx");
    QVERIFY(reback.wait());
    QCOMPARE(reback.last().at(0).toString(), QString("文件已删除"));
    // The bubbles follow these downloads like any other.
    QCOMPARE(History(states, "71"), QStringList{"100"});
    QCOMPARE(History(states, "72").first(), QString("0"));
    QCOMPARE(History(states, "72").last(), QString("100"));
    QCOMPARE(History(states, "73").first(), QString("0"));
    QCOMPARE(History(states, "73").last(), QString("err: 文件已删除"));
}

void TestResourceDownloader::mediaIsFetchedThenPlayedOrOpened() {
    TestHttpServer server;
    QVERIFY(SignIn(server.Url("/")));
    ResourceDownloader downloader;
    QSignalSpy audio(&downloader, &ResourceDownloader::play_audio_file);
    QSignalSpy ready(&downloader, &ResourceDownloader::resource_downloaded);
    server.Reply(200, Binary());
    downloader.OnDownloadResource(3, "no-bar.png");
    downloader.OnDownloadResource(3, "pic/9.png|照片.png");
    QVERIFY(ready.wait());
    const QString picture = ReceivedFile(3, "pic/9.png|照片.png");
    QCOMPARE(ready.at(0), (QList<QVariant>{3, "pic/9.png", picture}));
    QCOMPARE(ReadAll(picture), Binary());
    QCOMPARE(server.Requests().size(), 1);
    QCOMPARE(server.Requests().first().target, QByteArray("/Upload/pic/9.png"));
    QVERIFY(opened_.isEmpty());

    // A click on voice that is not here yet fetches it and plays it; the next click plays it.
    downloader.OnOpenResource(4, "a/1.amr|语音.amr|12");
    QVERIFY(audio.wait());
    const QString voice = ReceivedFile(4, "a/1.amr|语音.amr|12");
    QCOMPARE(audio.at(0).at(0).toString(), voice);
    downloader.OnOpenResource(4, "a/1.amr|语音.amr|12");
    QCOMPARE(audio.size(), 2);
    QCOMPARE(server.Requests().size(), 2);
    // A picture clicked while the parser's download of it runs opens once it arrives.
    server.Reply(200, "picture");
    downloader.OnDownloadResource(3, "pic/10.png|课堂.png");
    downloader.OnOpenResource(3, "pic/10.png|课堂.png");
    QTRY_COMPARE(opened_.size(), 1);
    QCOMPARE(opened_.first(), ReceivedFile(3, "pic/10.png|课堂.png"));
    QCOMPARE(server.Requests().size(), 3);
}

void TestResourceDownloader::programsAreShownInTheirFolder() {
    TestHttpServer server;
    QVERIFY(SignIn(server.Url("/")));
    ResourceDownloader downloader;
    QSignalSpy states(&downloader, &ResourceDownloader::update_download_percent);
    server.Reply(200, FileAnswer("#!/bin/sh\necho hi\n"));
    downloader.OnDownloadResource(2, "81|files/81|安装.SH");
    QTRY_COMPARE(StateOf(states, "81"), QString("100"));
    downloader.OnOpenResource(2, "81|files/81|安装.SH");
    QCOMPARE(opened_, QStringList{Account::MsgPath() + "/file"});
}

void TestResourceDownloader::videoGetsAThumbnail() {
    TestHttpServer server;
    QVERIFY(SignIn(server.Url("/")));
    QTemporaryDir dir;
    const QString clip = dir.filePath("clip.avi");
    if (QProcess::execute(VideoThumbnail::Program(),
                          {"-loglevel", "quiet", "-f", "lavfi", "-i",
                           "testsrc=duration=1:size=64x48:rate=10", clip}) != 0)
        QSKIP("no ffmpeg to make a test video (./test installs it)");
    ResourceDownloader downloader;
    QSignalSpy ready(&downloader, &ResourceDownloader::resource_downloaded);
    server.Reply(200, ReadAll(clip));
    downloader.OnOpenResource(5, "v/clip.avi|课堂 录像.avi");
    QVERIFY(ready.wait());
    const QString video = ReceivedFile(5, "v/clip.avi|课堂 录像.avi");
    QVERIFY(!QImage(VideoThumbnail::PathFor(video)).isNull());
    // The video itself goes to the desktop's player.
    QCOMPARE(opened_, QStringList{video});
}

CORAL_TEST_GUILESS_MAIN(TestResourceDownloader)
#include "tst_resourcedownloader.moc"
