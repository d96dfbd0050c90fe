// The search index of msg.db: kept in step with every change the parser makes to message_all,
// and built afterwards for the messages of an existing file, also after the build was killed.

#include <QProcess>
#include <QtTest>

#include "ParserProbe.h"
#include "engine/EngineMetaTypes.h"
#include "engine/MessageSearch.h"
#include "engine/MessageStore.h"
#include "engine/SearchIndex.h"
#include "engine/SearchIndexBuilder.h"
#include "tests/support/TestMain.h"

using namespace engine_test;

namespace {

constexpr int kExisting = 3000;
// Every 97th existing message holds the word searched for.
constexpr int kEvery = 97;

QList<int> FoundIds(const QString& query) {
    QList<int> ids;
    int before = 0;
    do {
        const MessageSearch::Page page = MessageSearch::Find(query, before);
        for (const MsgSearchItemInfo* item : page.items)
            ids.append(item->id);
        qDeleteAll(page.items);
        before = page.more ? page.next_before_id : 0;
    } while (before > 0);
    std::sort(ids.begin(), ids.end());
    return ids;
}

// Messages stored before the index existed; the ids of those holding the word.
QList<int> StoreExisting() {
    QList<int> expected;
    SqlExec::Begin();
    for (int i = 1; i <= kExisting; ++i) {
        MessageRecord msg;
        msg.other_id = 2001 + i % 7;
        msg.message_id = i;
        msg.msg_type = 1;
        msg.content = i % kEvery == 0 ? QStringLiteral("第%1条：期末成绩表已上传").arg(i)
                                      : QStringLiteral("第%1条：明天上午开会").arg(i);
        const int id = MessageStore::Insert(msg);
        if (i % kEvery == 0)
            expected.append(id);
    }
    SqlExec::Commit();
    return expected;
}

// Run as a child process: two steps committed, a third killed while it writes.
int BuildUntilKilled(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString path = QString::fromLocal8Bit(argv[2]);
    ConnectionPool::Instance()->SetupDBConfig([&path](DB_CFG* cfg) {
        cfg->database_name = path;
        cfg->database_type = QStringLiteral("QSQLITE");
    });
    SearchIndex::BuildStep(500);
    SearchIndex::BuildStep(500);
    SqlExec::Begin();
    SearchIndex::BuildStep(1000);
    std::fputs("writing\n", stdout);
    std::fflush(stdout);
    QThread::sleep(60);
    return 0;
}

}  // namespace

class TestSearchIndex : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { EngineMetaTypes::Register(); }
    void init() { QVERIFY(SignIn()); }

    void followsStoredSentAndResentMessages();
    void buildsForExistingMessagesAndResumesAfterAKill();
    void buildMakesWayForPollReplies();
};

void TestSearchIndex::followsStoredSentAndResentMessages() {
    ParserProbe probe;
    QCOMPARE(SearchIndex::IndexedAbove(), 0);
    ChatMsg text = From(2001, 1);
    text.content = "期末考试安排在下周三";
    ChatMsg file = From(2002, 2);
    file.msg_type = 2;
    file.content = "";
    file.url = "files/9|期末总结.docx|12";
    ChatMsg reminder = From(0, 3);
    reminder.content = "关于期末工作的通知";
    probe.Feed(Reply().Add(text).Add(file).Add(reminder));
    QCOMPARE(FoundIds("期末考"), (QList<int>{1}));
    QCOMPARE(FoundIds("期末总结.doc"), (QList<int>{2}));
    QCOMPARE(FoundIds("期末工作"), QList<int>());  // reminders are not searched

    // A picture sent from here is found by its file name, before and after the server has it.
    const int picture = probe.Send(2001, 3, 11, "/home/t/期末 合影.png");
    QCOMPARE(FoundIds("期末 合影"), (QList<int>{picture}));
    QCOMPARE(FoundIds("home/t"), QList<int>());
    ChatMsg echo = From(kUserId, 40);
    echo.receive_id = 2001;
    echo.msg_type = 3;
    echo.content = "";
    echo.url = "up/40|期末 合影.png";
    echo.client_message_id = picture;
    echo.client_code = Account::DeviceId();
    probe.Feed(Reply().Add(echo));
    QCOMPARE(Message(40).value("id").toInt(), picture);
    QCOMPARE(FoundIds("期末 合影"), (QList<int>{picture}));
    echo.message_id = 41;
    echo.url = "up/41|改名后.png";
    echo.client_message_id = probe.Send(2001, 3, 12, "/home/t/原名.png");
    probe.Feed(Reply().Add(echo));
    QCOMPARE(FoundIds("原名"), QList<int>());
    QCOMPARE(FoundIds("改名后"), (QList<int>{echo.client_message_id}));

    // Re-sending replaces the row: the old one is gone from the index.
    const int refused = probe.Send(2001, 1, 13, "补考名单");
    probe.parse.OnMsgSendReback(refused, 0, "失败");
    probe.parse.OnMsgReSend(refused, 2001, "李老师", 1, 14, "补考名单");
    const int resent = probe.to_ids.last().at(1).toInt();
    QCOMPARE(FoundIds("补考名单"), (QList<int>{resent}));

    // A row stored past the index is still found, and joins it with the next reply.
    MessageRecord stray;
    stray.other_id = 2003;
    stray.msg_type = 1;
    stray.content = "期末家长会的通知";
    const int stray_id = MessageStore::Insert(stray);
    QCOMPARE(FoundIds("家长会"), (QList<int>{stray_id}));
    QVERIFY(SearchIndex::Indexed().upto < stray_id);
    probe.Feed(Reply());
    QCOMPARE(SearchIndex::Indexed().upto, stray_id);
    QCOMPARE(FoundIds("家长会"), (QList<int>{stray_id}));
    QVERIFY(SearchIndex::Verify());
}

void TestSearchIndex::buildsForExistingMessagesAndResumesAfterAKill() {
    QVERIFY(SearchIndex::Remove());
    const QList<int> expected = StoreExisting();
    QVERIFY(SearchIndex::Install());
    const int newest = SqlExec::SelectInt("SELECT max(id) FROM message_all");
    QCOMPARE(SearchIndex::IndexedAbove(), newest);
    // Nothing indexed yet: the search reads the messages themselves.
    QCOMPARE(FoundIds("期末成绩"), expected);

    const QString path = ConnectionPool::Instance()->Config().database_name;
    ConnectionPool::Instance()->CloseConnection();
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {"--build-until-killed", path});
    QVERIFY(child.waitForReadyRead(20000));
    QCOMPARE(child.readLine().trimmed(), QByteArray("writing"));
    child.kill();
    QVERIFY(child.waitForFinished());

    // The two committed steps count, the killed one does not.
    const int mark = SearchIndex::IndexedAbove();
    QCOMPARE(mark, newest - 1000);
    QCOMPARE(FoundIds("期末成绩"), expected);
    SearchIndexBuilder builder;
    QSignalSpy complete(&builder, &SearchIndexBuilder::index_complete);
    builder.Start();
    QVERIFY(complete.wait(20000));
    QCOMPARE(SearchIndex::IndexedAbove(), 0);
    QVERIFY(SearchIndex::Verify());
    QCOMPARE(FoundIds("期末成绩"), expected);
    QCOMPARE(FoundIds("第2999条"), (QList<int>{2999}));
}

void TestSearchIndex::buildMakesWayForPollReplies() {
    QVERIFY(SearchIndex::Remove());
    StoreExisting();
    QVERIFY(SearchIndex::Install());
    const int mark = SearchIndex::IndexedAbove();
    QVERIFY(mark > 0);
    SearchIndexBuilder builder;
    QSignalSpy complete(&builder, &SearchIndexBuilder::index_complete);
    builder.Start();
    builder.MakeWay();
    QTest::qWait(SearchIndexBuilder::kBusyPauseMs / 2);
    QCOMPARE(SearchIndex::IndexedAbove(), mark);
    QVERIFY(builder.IsRunning());
    QVERIFY(complete.wait(20000));
    QCOMPARE(SearchIndex::IndexedAbove(), 0);
}

int main(int argc, char** argv) {
    if (argc == 3 && qstrcmp(argv[1], "--build-until-killed") == 0)
        return BuildUntilKilled(argc, argv);
    TestHome home;
    QCoreApplication app(argc, argv);
    TestSearchIndex tc;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&tc, argc, argv);
}

#include "tst_searchindex.moc"
