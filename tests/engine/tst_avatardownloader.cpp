// Avatars: asked by id, named by "UserInfo_Get", fetched once into the avatar folder.

#include <QBuffer>
#include <QImage>
#include <QtTest>

#include "EngineTestEnv.h"
#include "engine/AvatarDownloader.h"
#include "tests/support/QueuedSpy.h"
#include "tests/support/TestMain.h"

using namespace engine_test;

namespace {

QByteArray Png() {
    QImage image(8, 8, QImage::Format_ARGB32);
    image.fill(Qt::darkCyan);
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return data;
}

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

}  // namespace

class TestAvatarDownloader : public QObject {
    Q_OBJECT
private slots:
    void init() {
        server_.reset(new TestHttpServer);
        QVERIFY(SignIn(server_->Url("/")));
        QDir(Account::AvatarPath()).removeRecursively();
        QVERIFY(Account::InitAvatarPath());
        ready_.reset();
        downloader_.reset(new AvatarDownloader);
        downloader_->OnStart();
        ready_.reset(new QSignalSpy(downloader_.data(), &AvatarDownloader::avatar_ready));
    }

    void writtenOnceForTwoRequests();
    void hostileSuffixesFallBackToPng();
    void brokenAnswersAreNotKept();
    void workerThreadAnswersQueuedRequests();
    void manyUsersAreAskedForAFewAtATime();

private:
    // Asks for `id` and waits for its picture to be signalled.
    bool Fetch(int id);

    QScopedPointer<TestHttpServer> server_;
    QScopedPointer<AvatarDownloader> downloader_;
    QScopedPointer<QSignalSpy> ready_;
};

bool TestAvatarDownloader::Fetch(int id) {
    const int before = ready_->size();
    downloader_->OnReqOneAvatar(QString::number(id));
    return QTest::qWaitFor(
        [&] { return ready_->size() > before && ready_->last().at(0).toInt() == id; }, 5000);
}

void TestAvatarDownloader::writtenOnceForTwoRequests() {
    AnswerUser(*server_, 2001, "pic/u2001.png");
    AnswerUser(*server_, 2002, "pic/a.b.png");
    AnswerUser(*server_, -301, "pic/g301.jpg");
    server_->ReplyFor("pic/", 200, Png());
    downloader_->OnReqOneAvatar("2001");
    downloader_->OnReqOneAvatar("2001");
    QTRY_COMPARE(PictureRequests(*server_, "pic/u2001.png"), 2);
    // Asked only once both answers were out, so it is signalled after them.
    QVERIFY(Fetch(2002));
    QVERIFY(Fetch(-301));

    QCOMPARE(Field(server_->Requests().first(), "GetUser_ID"), QString("2001"));
    QCOMPARE(FieldNames(server_->Requests().first()), QStringList({"GetUser_ID", "SessionID"}));
    // Stored under the suffix of the picture's name.
    QCOMPARE(AvatarFiles(), QStringList({"-301.jpg", "2001.png", "2002.b.png"}));
    QCOMPARE(ready_->size(), 3);
    QCOMPARE(ready_->first().at(0).toInt(), 2001);

    // An avatar already on disk is never replaced.
    const QString kept = Account::AvatarPath() + "/2003.png";
    QImage other(4, 4, QImage::Format_ARGB32);
    other.fill(Qt::red);
    QVERIFY(other.save(kept));
    AnswerUser(*server_, 2003, "pic/u2003.png");
    AnswerUser(*server_, 2004, "pic/u2004.png");
    downloader_->OnReqOneAvatar("2003");
    QTRY_COMPARE(PictureRequests(*server_, "pic/u2003.png"), 1);
    QVERIFY(Fetch(2004));
    QCOMPARE(QImage(kept).size(), QSize(4, 4));
    QCOMPARE(ready_->size(), 4);
}

void TestAvatarDownloader::hostileSuffixesFallBackToPng() {
    // Plain suffixes, "a.b.png" and "%2F": writtenOnceForTwoRequests, brokenAnswersAreNotKept.
    const QList<QPair<QString, QString>> cases = {
        {"UpLoad/u1.gif?v=3", "gif"},           {"UpLoad/u1", "png"},
        {"UpLoad/u1.png/../../../evil", "png"}, {"UpLoad\\u1.png\\..\\..\\evil", "png"},
        {"UpLoad/u1.png:evil", "png"},          {"UpLoad/u1.abcdefghijk", "png"}};
    for (const auto& c : cases)
        QCOMPARE(AvatarDownloader::SafeSuffix(c.first), c.second);
}

void TestAvatarDownloader::brokenAnswersAreNotKept() {
    AnswerUser(*server_, 4002, "pic/u4002.png");
    AnswerUser(*server_, 4003, "pic/u4003.png");
    server_->ReplyFor("pic/u4002", 200, "<html>404</html>");
    server_->ReplyFor("pic/", 200, Png());
    downloader_->OnReqOneAvatar("4002");
    QTRY_COMPARE(PictureRequests(*server_, "pic/u4002.png"), 1);
    QVERIFY(Fetch(4003));
    QCOMPARE(AvatarFiles(), QStringList({"4003.png"}));
    QCOMPARE(ready_->size(), 1);

    // Not a user-info answer at all, a failure, or an id that is no number (it would name the
    // file): nothing is fetched.
    server_->ReplyFor("GetUser_ID=4004&", 200, "<html>error</html>");
    server_->ReplyFor("GetUser_ID=4005&", 200, Envelope({{"EID", "1"}}));
    server_->ReplyFor(
        "GetUser_ID=4007&", 200,
        Envelope({{"EID", "0"}, {"User_ID", "../4007"}, {"HeadPic", "pic/u4007.png"}}));
    const int requests = server_->Requests().size();
    for (const char* id : {"4004", "4005", "4007"})
        downloader_->OnReqOneAvatar(id);
    QTRY_COMPARE(server_->Requests().size(), requests + 3);
    AnswerUser(*server_, 4006, "pic/u4006.png");
    QVERIFY(Fetch(4006));
    QCOMPARE(server_->Requests().size(), requests + 5);
    QCOMPARE(AvatarFiles(), QStringList({"4003.png", "4006.png"}));

    // Taken as it stands, this suffix would climb out of the avatar folder.
    AnswerUser(*server_, 4001, "pic/u4001.png%2F..%2F..%2Fevil");
    const QDir unit_dir(Account::AvatarPath() + "/..");
    const QStringList beside = unit_dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    QVERIFY(Fetch(4001));
    QCOMPARE(AvatarFiles(), QStringList({"4001.png", "4003.png", "4006.png"}));
    QCOMPARE(unit_dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot), beside);
}

void TestAvatarDownloader::workerThreadAnswersQueuedRequests() {
    AnswerUser(*server_, 5001, "pic/u5001.png");
    AnswerUser(*server_, 5002, "pic/u5002.png");
    server_->ReplyFor("pic/", 200, Png());
    auto* worker = new AvatarDownloader;
    QThread thread;
    QueuedSpy ready(worker, &AvatarDownloader::avatar_ready);
    connect(&thread, &QThread::started, worker, &AvatarDownloader::OnStart, Qt::QueuedConnection);
    connect(&thread, &QThread::finished, worker, &QObject::deleteLater, Qt::DirectConnection);
    worker->moveToThread(&thread);
    // Asked before the thread runs: the request waits for it.
    QMetaObject::invokeMethod(worker, "OnReqAvatar", Qt::QueuedConnection,
                              Q_ARG(QStringList, QStringList({"5001", "5002"})));
    thread.start();
    QVERIFY(ready.waitFor(2));
    thread.quit();
    thread.wait();
    QCOMPARE(AvatarFiles(), QStringList({"5001.png", "5002.png"}));
}

void TestAvatarDownloader::manyUsersAreAskedForAFewAtATime() {
    server_->ReplyFor("pic/", 200, Png());
    // The first list of a long history: each user once, some without a picture.
    for (int id = 5001; id <= 5030; ++id) {
        if (id % 3 != 0)
            AnswerUser(*server_, id, QStringLiteral("pic/u%1.png").arg(id));
        downloader_->OnReqOneAvatar(QString::number(id));
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
    QTRY_COMPARE_WITH_TIMEOUT(ready_->size(), 20, 10000);
    QStringList all = asked();
    all.sort();
    QStringList expected;
    for (int id = 5001; id <= 5030; ++id)
        expected << QString::number(id);
    QCOMPARE(all, expected);
    QCOMPARE(AvatarFiles().size(), 20);
}

CORAL_TEST_GUILESS_MAIN(TestAvatarDownloader)
#include "tst_avatardownloader.moc"
