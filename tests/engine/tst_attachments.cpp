// Attachments: file downloads and their states, media fetched from the upload folder, files of
// the same name kept apart, a failed transfer that leaves nothing behind, what a click opens or
// plays (programs only show their folder), files carried in reply envelopes, and the thumbnail of
// a video. Avatars: asked by id, named by "UserInfo_Get", fetched once into the avatar folder.

#include <QImage>
#include <QtTest>

#include "EngineTestEnv.h"
#include "engine/AttachmentPaths.h"
#include "engine/AvatarDownloader.h"
#include "engine/EngineMetaTypes.h"
#include "engine/EnvelopeFile.h"
#include "engine/ResourceDownloader.h"
#include "engine/VideoThumbnail.h"
#include "platform/FileOpener.h"
#include "tests/sim/SimCall.h"
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

QByteArray Binary(int seed = 0, int size = 5000, int step = 1) {
    QByteArray data;
    for (int i = 0; i < size; ++i)
        data.append(static_cast<char>((i * step + seed) % 251));
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

// Every file in the user's message folder, whatever its name.
QList<QByteArray> MessageFiles() {
    QList<QByteArray> contents;
    QDirIterator it(Account::MsgPath(), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        contents << ReadAll(it.next());
    return contents;
}

// The file an envelope carries, decoded; `ok` tells whether it was whole.
QByteArray Decoded(const QByteArray& reply, bool* ok) {
    EnvelopeFile file(reply);
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    *ok = file.DecodeInto(&out);
    return out.data();
}

// A picture of one pixel.
const QByteArray kPng = QByteArray::fromBase64(
    "iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mNk+"
    "M9QDwADhgGAWjR9awAAAABJRU5ErkJggg==");

// The user-info answer for `id` naming `head_pic` as its picture.
void AnswerUser(TestHttpServer& server, int id, const QString& head_pic) {
    server.ReplyFor("GetUser_ID=" + QByteArray::number(id) + "&", 200,
                    Envelope({{"EID", "0"},
                              {"User_ID", QString::number(id)},
                              {"UserName", "李老师"},
                              {"HeadPic", head_pic}}));
}

int PictureRequests(const TestHttpServer& server, const QByteArray& path) {
    int count = 0;
    for (const auto& request : server.Requests())
        count += request.target.endsWith(path) ? 1 : 0;
    return count;
}

QStringList AvatarFiles() {
    return QDir(Account::AvatarPath()).entryList(QDir::Files, QDir::Name);
}

// An avatar downloader on the test thread.
struct Avatars {
    AvatarDownloader downloader;
    QSignalSpy ready{&downloader, &AvatarDownloader::avatar_ready};

    Avatars() { downloader.OnStart(); }
    // Asks for `id` and waits for its picture to be signalled.
    bool Fetch(int id) {
        const int before = ready.size();
        downloader.OnReqOneAvatar(QString::number(id));
        return QTest::qWaitFor(
            [&] { return ready.size() > before && ready.last().at(0).toInt() == id; }, 5000);
    }
};

}  // namespace

class TestAttachments : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { EngineMetaTypes::Register(); }
    void init() {
        server_.reset(new TestHttpServer);
        QVERIFY(SignIn(server_->Url("/")));
        opened_.clear();
        accept_ = true;
        FileOpener::SetUrlHandler([this](const QUrl& url) {
            opened_.append(url.toLocalFile());
            return accept_;
        });
    }
    void cleanup() { FileOpener::SetUrlHandler(nullptr); }

    void fileDownloadsReportTheirState();
    void sameNameFilesAreKeptApart();
    void ownFilesAreFoundWhereTheyWereSent();
    void mediaIsFetchedThenPlayedOrOpened();
    void failedTransfersLeaveNoFile();
    void programsOnlyShowTheirFolder();
    void envelopeFilesAreTakenWholeOrNotAtAll();
    void videoThumbnails();
    void avatarsWrittenOnceForTwoRequests();
    void brokenAvatarAnswersAreNotKept();
    void manyAvatarsAreAskedForAFewAtATime();

private:
    QScopedPointer<TestHttpServer> server_;
    QStringList opened_;
    bool accept_ = true;
};

void TestAttachments::fileDownloadsReportTheirState() {
    ResourceDownloader downloader;
    QSignalSpy states(&downloader, &ResourceDownloader::update_download_percent);
    const Attachment present = Attachment::FromRequest(2, "41|files/41|已有.pdf");
    AttachmentPaths paths;
    QVERIFY(paths.Claim(present, paths.DownloadPath(present)));
    QVERIFY(WriteAll(paths.DownloadPath(present), "pdf"));
    downloader.OnDownloadResource(2, "41|files/41|已有.pdf");
    QCOMPARE(states.last().at(0).value<States>(), (States{{"41", "100"}}));
    QVERIFY(server_->Requests().isEmpty());

    const QByteArray big = Binary(1, 3 << 20);
    const QList<QPair<QString, QByteArray>> answers = {
        {"42|files/42|../教案 1.doc", FileAnswer(big)},
        {"43|files/43|old.doc", Envelope({{"EID", "2"}, {"ErrorMessage", "文件已过期"}})},
        {"44|files/44|bad.doc", "<html>"},
        {"45|files/45|cut.doc", Envelope({{"EID", "0"}, {"Base64Data", "QUJD*RA=="}})}};
    for (const auto& answer : answers) {
        server_->Reply(200, answer.second);
        downloader.OnDownloadResource(2, answer.first);
        const QString id = answer.first.section('|', 0, 0);
        QTRY_VERIFY(StateOf(states, id) == "100" || StateOf(states, id).startsWith("err:"));
    }
    QCOMPARE(Field(server_->Requests().first(), "Message_ID"), QString("42"));
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

    // Asked again while on its way or once here: one request, the same state.
    const int requests = server_->Requests().size();
    server_->Reply(200, FileAnswer("once"));
    downloader.OnDownloadResource(2, "51|files/51|一次.txt");
    downloader.OnOpenResource(2, "51|files/51|一次.txt");
    downloader.OnDownloadResource(2, "51|files/51|一次.txt");
    QTRY_COMPARE(StateOf(states, "51"), QString("100"));
    downloader.OnDownloadResource(2, "51|files/51|一次.txt");
    QCOMPARE(server_->Requests().size(), requests + 1);
    QCOMPARE(StateOf(states, "51"), QString("100"));
    // A file download is no open: the user opens it with its own button.
    QVERIFY(opened_.isEmpty());
}

void TestAttachments::sameNameFilesAreKeptApart() {
    // Left by an earlier version: nobody's file as far as the messages can tell.
    QVERIFY(WriteAll(Account::MsgPath() + "/file/计划.doc", "old"));
    {
        ResourceDownloader downloader;
        QSignalSpy states(&downloader, &ResourceDownloader::update_download_percent);
        for (const QString& id : {"61", "62"}) {
            server_->Reply(200, FileAnswer("plan " + id.toLatin1()));
            downloader.OnDownloadResource(2, id + "|files/" + id + "|计划.doc");
            QTRY_COMPARE(StateOf(states, id), QString("100"));
        }
        server_->Reply(200, "first picture");
        downloader.OnDownloadResource(3, "pic/1.png|照片.png");
        QTRY_VERIFY(!ReceivedFile(3, "pic/1.png|照片.png").isEmpty());
        server_->Reply(200, "second picture");
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
    server_->Reply(200, "third picture");
    downloader.OnDownloadResource(3, "pic/3.png|照片.png");
    QTRY_VERIFY(!ReceivedFile(3, "pic/3.png|照片.png").isEmpty());
    QVERIFY(ReceivedFile(3, "pic/1.png|照片.png").isEmpty());

    downloader.OnOpenResource(2, "62|files/62|计划.doc");
    QCOMPARE(opened_, QStringList{second});
}

void TestAttachments::ownFilesAreFoundWhereTheyWereSent() {
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
    QVERIFY(server_->Requests().isEmpty());

    // Sent from another computer: fetched, kept in the file folder and opened.
    server_->Reply(200, FileAnswer("from the phone"));
    downloader.OnOpenResourceSendByMySelf(2, "72|files/72|我的 总结.docx");
    QVERIFY(reback.wait());
    const QString fetched = ReceivedFile(2, "72|files/72|我的 总结.docx");
    QCOMPARE(reback.last().at(0).toString(), fetched);
    QCOMPARE(ReadAll(fetched), QByteArray("from the phone"));
    QCOMPARE(opened_.last(), fetched);
    server_->Reply(200, Envelope({{"EID", "3"}, {"ErrorMessage", "文件已删除"}}));
    downloader.OnOpenResourceSendByMySelf(2, "73|files/73|旧.docx");
    QVERIFY(reback.wait());
    QCOMPARE(reback.last().at(0).toString(), QString("文件已删除"));
    QVERIFY(ReceivedFile(2, "73|files/73|旧.docx").isEmpty());
    // The bubbles follow these downloads like any other.
    QCOMPARE(History(states, "71"), QStringList{"100"});
    QCOMPARE(History(states, "72").first(), QString("0"));
    QCOMPARE(History(states, "72").last(), QString("100"));
    QCOMPARE(History(states, "73").first(), QString("0"));
    QCOMPARE(History(states, "73").last(), QString("err: 文件已删除"));
}

void TestAttachments::mediaIsFetchedThenPlayedOrOpened() {
    ResourceDownloader downloader;
    QSignalSpy audio(&downloader, &ResourceDownloader::play_audio_file);
    QSignalSpy ready(&downloader, &ResourceDownloader::resource_downloaded);
    server_->Reply(200, Binary());
    downloader.OnDownloadResource(3, "no-bar.png");
    downloader.OnDownloadResource(3, "pic/9.png|照片.png");
    QVERIFY(ready.wait());
    const QString picture = ReceivedFile(3, "pic/9.png|照片.png");
    QCOMPARE(ready.at(0), (QList<QVariant>{3, "pic/9.png", picture}));
    QCOMPARE(ReadAll(picture), Binary());
    QCOMPARE(server_->Requests().size(), 1);
    QCOMPARE(server_->Requests().first().target, QByteArray("/Upload/pic/9.png"));
    QVERIFY(opened_.isEmpty());

    // A click on voice that is not here yet fetches it and plays it; the next click plays it.
    downloader.OnOpenResource(4, "a/1.amr|语音.amr|12");
    QVERIFY(audio.wait());
    const QString voice = ReceivedFile(4, "a/1.amr|语音.amr|12");
    QCOMPARE(audio.at(0).at(0).toString(), voice);
    downloader.OnOpenResource(4, "a/1.amr|语音.amr|12");
    QCOMPARE(audio.size(), 2);
    QCOMPARE(server_->Requests().size(), 2);
    // A picture clicked while the parser's download of it runs opens once it arrives.
    server_->Reply(200, "picture");
    downloader.OnDownloadResource(3, "pic/10.png|课堂.png");
    downloader.OnOpenResource(3, "pic/10.png|课堂.png");
    QTRY_COMPARE(opened_.size(), 1);
    QCOMPARE(opened_.first(), ReceivedFile(3, "pic/10.png|课堂.png"));
    QCOMPARE(server_->Requests().size(), 3);
}

void TestAttachments::failedTransfersLeaveNoFile() {
    SimServer sim(300);
    const QString session = sim.OpenSession("wangfang");
    QVERIFY(SignInAs("wangfang", 10002, sim.UnitRecord(), session));
    const QByteArray picture = Binary(0, 40000, 7);
    const qint64 broken = sim.SendFile("zhanglei", "wangfang", 3, "课堂.png", Binary(0, 40000, 3));
    const qint64 refused = sim.SendFile("zhanglei", "wangfang", 4, "朗读.wav", Binary(), 3);
    const qint64 good = sim.SendFile("zhanglei", "wangfang", 3, "板书.png", picture);
    // The url of a message in the poll reply the user gets.
    const auto url = [&](qint64 id) {
        for (const QJsonValue& m : sim_call::Messages(sim, "10002", session)) {
            if (m.toObject().value("Message_ID").toString() == QString::number(id))
                return m.toObject().value("MsgUrl").toString();
        }
        return QString();
    };
    ResourceDownloader downloader;

    // The connection closes before the body; then the server answers with an error page.
    sim.SetFault("Upload", FaultKind::kDrop, 0, 1);
    downloader.OnDownloadResource(3, url(broken));
    QTRY_COMPARE_WITH_TIMEOUT(sim.Answered("Upload"), 1, 20000);
    sim.SetFault("Upload", FaultKind::kStatus, 500, 1);
    downloader.OnDownloadResource(4, url(refused));
    QTRY_COMPARE_WITH_TIMEOUT(sim.Answered("Upload"), 2, 20000);
    // A later download lands; the failed ones left nothing behind, not even a part.
    downloader.OnDownloadResource(3, url(good));
    QTRY_VERIFY_WITH_TIMEOUT(MessageFiles().contains(picture), 20000);
    QCOMPARE(MessageFiles().size(), 1);
}

void TestAttachments::programsOnlyShowTheirFolder() {
    QTemporaryDir dir;
    for (const QString& name : {"教案 #1.pdf", "read me.txt", "no suffix"}) {
        QVERIFY(WriteAll(dir.filePath(name), "plain text, nothing to run"));
        QCOMPARE(FileOpener::Open(dir.filePath(name)), FileOpener::Result::kOpened);
        QCOMPARE(opened_.takeLast(), dir.filePath(name));
    }
    for (const char* name : {"install.sh", "SETUP.EXE", "app.desktop", "flagged.txt"})
        QVERIFY(WriteAll(dir.filePath(name), "data"));
    // Named like a document, but a program or script all the same.
    QVERIFY(WriteAll(dir.filePath("marks.pdf"), "#!/bin/sh\nrm -rf ~\n"));
    QVERIFY(WriteAll(dir.filePath("notes.txt"), QByteArray("\x7f"
                                                           "ELF\x02\x01\x01",
                                                           7)));
    QVERIFY(QFile::setPermissions(dir.filePath("flagged.txt"),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    QVERIFY(QFile::link(dir.filePath("install.sh"), dir.filePath("shortcut.txt")));
    for (const char* name : {"install.sh", "SETUP.EXE", "app.desktop", "marks.pdf", "notes.txt",
                             "flagged.txt", "shortcut.txt"}) {
        const QString path = dir.filePath(name);
        QVERIFY2(FileOpener::MayRun(path), qPrintable(path));
        QCOMPARE(FileOpener::Open(path), FileOpener::Result::kFolderOpened);
        QCOMPARE(opened_.takeLast(), dir.path());
    }

    QCOMPARE(FileOpener::Open(dir.filePath("gone.pdf")), FileOpener::Result::kMissing);
    QCOMPARE(FileOpener::Open(QString()), FileOpener::Result::kMissing);
    QVERIFY(opened_.isEmpty());
    accept_ = false;
    QCOMPARE(FileOpener::Open(dir.filePath("read me.txt")), FileOpener::Result::kRefused);
}

void TestAttachments::envelopeFilesAreTakenWholeOrNotAtAll() {
    const QByteArray data = Binary(0, 200000, 13);
    const QByteArray text = data.toBase64();
    // Escaped slashes and line breaks every 76 characters, as servers write it.
    QByteArray written;
    for (int i = 0; i < text.size(); i += 76)
        written += text.mid(i, 76) + "\\r\\n";
    written.replace("/", "\\/");
    // The member name inside other text, nested values before it, the data first or last.
    const QList<QByteArray> replies = {
        R"({"Velta":{"EID":"0","Base64Data":")" + written + R"("}})",
        R"({"Note":"\"Base64Data\":\"AAAA\"","Velta":{"List":[{"Base64Data":"QUFB"},[1,2]],)"
        R"("Flag":true,"N":-1.5e3,"Base64Data":")" +
            text + R"(","EID":"0"}})",
        " {\n \"Velta\" : {\"Base64Data\" : \"" + text + "\" , \"EID\":\"0\"}\n}\n"};
    for (const QByteArray& reply : replies) {
        EnvelopeFile file(reply);
        QVERIFY(file.HasFile());
        QCOMPARE(file.Envelope().Text("Velta.EID"), QString("0"));
        QVERIFY(file.Envelope().Text("Velta.Base64Data").isEmpty());
        bool ok = false;
        QCOMPARE(Decoded(reply, &ok), data);
        QVERIFY(ok);
    }
    // The padding left out, or a character escaped.
    for (const QByteArray& tail : {QByteArray("QQ"), QByteArray("QUI"), QByteArray("\\u0051Q==")}) {
        const QByteArray expected =
            QByteArray::fromBase64(QByteArray(tail).replace("\\u0051", "Q"));
        bool ok = false;
        QCOMPARE(Decoded(R"({"Velta":{"Base64Data":"QUJD)" + tail + R"("}})", &ok),
                 "ABC" + expected);
        QVERIFY(ok);
    }
    for (const QByteArray& broken :
         {"QUJD*", "QUJDR", "QU=JD", "QQ==QUJD", "QUJD\\u00e9", "Q==="}) {
        bool ok = true;
        Decoded(R"({"Velta":{"Base64Data":")" + broken + R"("}})", &ok);
        QVERIFY2(!ok, broken.constData());
    }
    EnvelopeFile refused(R"({"Velta":{"EID":"2","ErrorMessage":"文件不存在"}})");
    QVERIFY(!refused.HasFile());
    QCOMPARE(refused.Envelope().Text("Velta.ErrorMessage"), QString("文件不存在"));
    QVERIFY(!EnvelopeFile("<html>Base64Data</html>").Envelope().IsValid());
    QVERIFY(!EnvelopeFile(R"({"Velta":{"Base64Data":"QUJD"})").Envelope().IsValid());

    // A broken file leaves the earlier one as it was.
    QTemporaryDir dir;
    const QString path = dir.filePath("sub/文件.bin");
    QVERIFY(EnvelopeFile(R"({"Velta":{"Base64Data":"QUJD"}})").WriteTo(path));
    QCOMPARE(ReadAll(path), QByteArray("ABC"));
    QVERIFY(!EnvelopeFile(R"({"Velta":{"Base64Data":"QUJDRA=*"}})").WriteTo(path));
    QCOMPARE(ReadAll(path), QByteArray("ABC"));
}

void TestAttachments::videoThumbnails() {
    QTemporaryDir dir;
    const QString clip = dir.filePath("100% 课堂.mp4");
    if (QProcess::execute(
            "ffmpeg", {"-loglevel", "quiet", "-f", "lavfi", "-i",
                       "testsrc=duration=1:size=96x64:rate=10", "-pix_fmt", "yuv420p", clip}) != 0)
        QSKIP("no ffmpeg to make a test video (./test installs it)");
    const QString png = dir.filePath("out %d/frame.png");
    QVERIFY(QDir().mkpath(QFileInfo(png).absolutePath()));
    QVERIFY(VideoThumbnail::Make(clip, png));
    QCOMPARE(QImage(png).size(), QSize(96, 64));
    QVERIFY(VideoThumbnail::IsPng(png));
    // Nothing left beside it.
    QCOMPARE(QDir(QFileInfo(png).absolutePath()).entryList(QDir::Files | QDir::Hidden),
             QStringList{"frame.png"});
    // Nothing from what is no video.
    QVERIFY(WriteAll(dir.filePath("not a video.mp4"), "just text"));
    QVERIFY(!VideoThumbnail::Make(dir.filePath("not a video.mp4"), dir.filePath("none.png")));
    QVERIFY(!VideoThumbnail::Make(dir.filePath("missing.mp4"), dir.filePath("none.png")));
    QVERIFY(!QFile::exists(dir.filePath("none.png")));

    // A broken thumbnail left by an interrupted run is made again.
    const QString thumbnail = VideoThumbnail::PathFor(clip);
    QVERIFY(thumbnail.endsWith("/100% 课堂_thumbnail.png"));
    QVERIFY(WriteAll(thumbnail, "\x89PNG\r\n\x1a\n half"));
    QVERIFY(VideoThumbnail::Ensure(clip));
    QCOMPARE(QImage(thumbnail).size(), QSize(96, 64));

    // A video clicked is fetched, gets its thumbnail and goes to the desktop's player.
    ResourceDownloader downloader;
    QSignalSpy ready(&downloader, &ResourceDownloader::resource_downloaded);
    server_->Reply(200, ReadAll(clip));
    downloader.OnOpenResource(5, "v/clip.mp4|课堂 录像.mp4");
    QVERIFY(ready.wait());
    const QString video = ReceivedFile(5, "v/clip.mp4|课堂 录像.mp4");
    QVERIFY(!QImage(VideoThumbnail::PathFor(video)).isNull());
    QCOMPARE(opened_, QStringList{video});
}

void TestAttachments::avatarsWrittenOnceForTwoRequests() {
    Avatars avatars;
    AnswerUser(*server_, 2001, "pic/u2001.png");
    AnswerUser(*server_, 2002, "pic/a.b.png");
    AnswerUser(*server_, -301, "pic/g301.jpg");
    server_->ReplyFor("pic/", 200, kPng);
    avatars.downloader.OnReqOneAvatar("2001");
    avatars.downloader.OnReqOneAvatar("2001");
    QTRY_COMPARE(PictureRequests(*server_, "pic/u2001.png"), 2);
    // Asked only once both answers were out, so it is signalled after them.
    QVERIFY(avatars.Fetch(2002));
    QVERIFY(avatars.Fetch(-301));

    QCOMPARE(Field(server_->Requests().first(), "GetUser_ID"), QString("2001"));
    QCOMPARE(FieldNames(server_->Requests().first()), QStringList({"GetUser_ID", "SessionID"}));
    // Stored under the suffix of the picture's name.
    QCOMPARE(AvatarFiles(), QStringList({"-301.jpg", "2001.png", "2002.b.png"}));
    QCOMPARE(avatars.ready.size(), 3);
    QCOMPARE(avatars.ready.first().at(0).toInt(), 2001);

    // An avatar already on disk is never replaced.
    const QString kept = Account::AvatarPath() + "/2003.png";
    QImage other(4, 4, QImage::Format_ARGB32);
    other.fill(Qt::red);
    QVERIFY(other.save(kept));
    AnswerUser(*server_, 2003, "pic/u2003.png");
    AnswerUser(*server_, 2004, "pic/u2004.png");
    avatars.downloader.OnReqOneAvatar("2003");
    QTRY_COMPARE(PictureRequests(*server_, "pic/u2003.png"), 1);
    QVERIFY(avatars.Fetch(2004));
    QCOMPARE(QImage(kept).size(), QSize(4, 4));
    QCOMPARE(avatars.ready.size(), 4);
}

void TestAttachments::brokenAvatarAnswersAreNotKept() {
    Avatars avatars;
    AnswerUser(*server_, 4002, "pic/u4002.png");
    AnswerUser(*server_, 4003, "pic/u4003.png");
    server_->ReplyFor("pic/u4002", 200, "<html>404</html>");
    server_->ReplyFor("pic/", 200, kPng);
    avatars.downloader.OnReqOneAvatar("4002");
    QTRY_COMPARE(PictureRequests(*server_, "pic/u4002.png"), 1);
    QVERIFY(avatars.Fetch(4003));
    QCOMPARE(AvatarFiles(), QStringList({"4003.png"}));
    QCOMPARE(avatars.ready.size(), 1);

    // Not a user-info answer at all, a failure, or an id that is no number (it would name the
    // file): nothing is fetched.
    server_->ReplyFor("GetUser_ID=4004&", 200, "<html>error</html>");
    server_->ReplyFor("GetUser_ID=4005&", 200, Envelope({{"EID", "1"}}));
    server_->ReplyFor(
        "GetUser_ID=4007&", 200,
        Envelope({{"EID", "0"}, {"User_ID", "../4007"}, {"HeadPic", "pic/u4007.png"}}));
    const int requests = server_->Requests().size();
    for (const char* id : {"4004", "4005", "4007"})
        avatars.downloader.OnReqOneAvatar(id);
    QTRY_COMPARE(server_->Requests().size(), requests + 3);
    AnswerUser(*server_, 4006, "pic/u4006.png");
    QVERIFY(avatars.Fetch(4006));
    QCOMPARE(server_->Requests().size(), requests + 5);
    QCOMPARE(AvatarFiles(), QStringList({"4003.png", "4006.png"}));

    // Taken as it stands, this suffix would climb out of the avatar folder.
    AnswerUser(*server_, 4001, "pic/u4001.png%2F..%2F..%2Fevil");
    const QDir unit_dir(Account::AvatarPath() + "/..");
    const QStringList beside = unit_dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    QVERIFY(avatars.Fetch(4001));
    QCOMPARE(AvatarFiles(), QStringList({"4001.png", "4003.png", "4006.png"}));
    QCOMPARE(unit_dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot), beside);
    // Other suffixes that would reach out of the folder or name no picture.
    const QList<QPair<QString, QString>> cases = {
        {"UpLoad/u1.gif?v=3", "gif"},           {"UpLoad/u1", "png"},
        {"UpLoad/u1.png/../../../evil", "png"}, {"UpLoad\\u1.png\\..\\..\\evil", "png"},
        {"UpLoad/u1.png:evil", "png"},          {"UpLoad/u1.abcdefghijk", "png"}};
    for (const auto& c : cases)
        QCOMPARE(AvatarDownloader::SafeSuffix(c.first), c.second);
}

void TestAttachments::manyAvatarsAreAskedForAFewAtATime() {
    Avatars avatars;
    server_->ReplyFor("pic/", 200, kPng);
    // The first list of a long history: each user once, some without a picture.
    for (int id = 5001; id <= 5030; ++id) {
        if (id % 3 != 0)
            AnswerUser(*server_, id, QStringLiteral("pic/u%1.png").arg(id));
        avatars.downloader.OnReqOneAvatar(QString::number(id));
    }
    const auto asked = [this] {
        QStringList ids;
        for (const auto& request : server_->Requests()) {
            if (request.body.contains("GetUser_ID"))
                ids << Field(request, "GetUser_ID");
        }
        return ids;
    };
    server_->Hold(true);
    QTRY_COMPARE(server_->Requests().size(), AvatarDownloader::kMaxInFlight);
    QTest::qWait(100);
    QCOMPARE(server_->Requests().size(), AvatarDownloader::kMaxInFlight);
    // The first ones asked for go first.
    QStringList first = asked();
    first.sort();
    QCOMPARE(first, QStringList({"5001", "5002", "5003", "5004"}));
    server_->Hold(false);
    // Every user is asked for once in the end, and every picture arrives.
    QTRY_COMPARE_WITH_TIMEOUT(avatars.ready.size(), 20, 10000);
    const QStringList all = asked();
    QCOMPARE(all.size(), 30);
    QCOMPARE(QSet<QString>(all.begin(), all.end()).size(), 30);
    QCOMPARE(AvatarFiles().size(), 20);
}

CORAL_TEST_GUILESS_MAIN(TestAttachments)
#include "tst_attachments.moc"
