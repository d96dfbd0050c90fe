// Searching stored messages and known names: Chinese and mixed text, short queries, query syntax
// as plain text, excerpts, pages; the index kept in step with the parser, built for an existing
// file, also after a kill; the engine's search worker answering the newest request only.

#include <QtTest>

#include "ParserProbe.h"
#include "SimEngine.h"
#include "engine/EngineMetaTypes.h"
#include "engine/MessageSearch.h"
#include "engine/MessageStore.h"
#include "engine/SearchIndex.h"
#include "engine/SearchIndexBuilder.h"
#include "engine/SearchNames.h"
#include "engine/SearchText.h"
#include "tests/support/TestMain.h"

using namespace engine_test;

namespace {

int Store(int other_id, const QString& content, int msg_type = 1, const QString& url = QString()) {
    MessageRecord msg;
    msg.other_id = other_id;
    msg.other_name = QStringLiteral("李老师");
    msg.content = content;
    msg.msg_type = msg_type;
    msg.url = url;
    msg.send_date = QDateTime(QDate(2024, 6, 1), QTime(9, 0));
    const int id = MessageStore::Insert(msg);
    SearchIndex::CatchUp();
    return id;
}

// The ids found on the first page in the order given, or on every page in id order.
QList<int> Ids(const QString& query, int before_id = 0, bool every_page = false) {
    QList<int> ids;
    do {
        const MessageSearch::Page page = MessageSearch::Find(query, before_id);
        for (const MsgSearchItemInfo* item : page.items)
            ids.append(item->id);
        qDeleteAll(page.items);
        before_id = every_page && page.more ? page.next_before_id : 0;
    } while (before_id > 0);
    if (every_page)
        std::sort(ids.begin(), ids.end());
    return ids;
}

QList<int> FoundIds(const QString& query) {
    return Ids(query, 0, true);
}

QStringList Names(const MsgSearchItemInfoPointers& items) {
    QStringList names;
    for (const MsgSearchItemInfo* item : items)
        names.append(
            QStringLiteral("%1:%2:%3").arg(item->kind).arg(item->other_id).arg(item->text));
    qDeleteAll(items);
    return names;
}

// `count` messages stored before the index existed, every 97th about the exams; the ids of those.
QList<int> StoreExisting(int count) {
    QList<int> expected;
    SqlExec::Begin();
    for (int i = 1; i <= count; ++i) {
        MessageRecord msg;
        msg.other_id = 2001 + i % 7;
        msg.message_id = -i;  // below the platform's ids: the poll still brings them all
        msg.msg_type = 1;
        msg.content = i % 97 == 0 ? QStringLiteral("第%1条：期末成绩表已上传").arg(i)
                                  : QStringLiteral("第%1条：明天上午开会").arg(i);
        const int id = MessageStore::Insert(msg);
        if (i % 97 == 0)
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

MsgSearchItemInfoPointers Items(const QVariantList& call) {
    return call.at(1).value<MsgSearchItemInfoPointers>();
}

void Free(const QueuedSpy& spy) {
    for (const QVariantList& call : spy)
        qDeleteAll(Items(call));
}

// "other_id:text" of the message results.
QStringList Texts(const MsgSearchItemInfoPointers& items) {
    QStringList found;
    for (const MsgSearchItemInfo* item : items) {
        if (item->kind == MsgSearchItemInfo::kMessage)
            found.append(QStringLiteral("%1:%2").arg(item->other_id).arg(item->text));
    }
    return found;
}

}  // namespace

class TestSearch : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { EngineMetaTypes::Register(); }
    void init() {
        QVERIFY(SignIn());
        QVERIFY(SearchIndex::Install());
    }

    void findsChineseAndMixedSubstrings();
    void excerptsMarkTheMatches();
    void querySyntaxIsPlainText();
    void pagesGoOnBelowTheLastResult();
    void scansWithoutIndexAreBounded();
    void findsConversationsAndContacts();
    void followsStoredSentAndResentMessages();
    void buildsForExistingMessagesAndResumesAfterAKill();
    void engineIndexesBetweenPollsAndAnswersTheNewestRequest();
};

void TestSearch::findsChineseAndMixedSubstrings() {
    const int exam = Store(2001, "期末考试安排在下周三");
    const int meeting = Store(2002, "明天的Meeting改到3点");
    const int file = Store(-300, "", 2, "files/9|期末总结V2.docx|12");
    const int shorter = Store(2001, "期末");
    Store(0, "期末考试的通知");
    const int midterm = Store(2003, "期中考试");

    QCOMPARE(Ids("期末考"), (QList<int>{exam}));
    QCOMPARE(Ids("meeting改到"), (QList<int>{meeting}));
    QCOMPARE(Ids("的MEETING"), (QList<int>{meeting}));
    QCOMPARE(Ids("总结v2.DOC"), (QList<int>{file}));
    QCOMPARE(Ids("files/9"), QList<int>());
    // One and two characters: read without the index; grouped by conversation, newest first.
    QCOMPARE(Ids("期末"), (QList<int>{shorter, exam, file}));
    QCOMPARE(Ids("考"), (QList<int>{midterm, exam}));
    QCOMPARE(Ids("M"), (QList<int>{meeting}));
    QCOMPARE(Ids(""), QList<int>());
}

void TestSearch::excerptsMarkTheMatches() {
    Store(2001, "ab期末AB期末ab");
    const QString long_text = QString(40, QChar(0x4e00)) + "\n关键词" + QString(80, QChar(0x4e8c));
    Store(2002, long_text);
    MessageSearch::Page page = MessageSearch::Find("ab期");
    QCOMPARE(page.items.size(), 1);
    QCOMPARE(page.items.at(0)->text, QString("ab期末AB期末ab"));
    QCOMPARE(page.items.at(0)->matches, (SearchText::Matches{{0, 3}, {4, 3}}));
    qDeleteAll(page.items);

    page = MessageSearch::Find("关键词");
    const MsgSearchItemInfo* item = page.items.at(0);
    QVERIFY(item->text.size() <= SearchText::kExcerptLength + 2);
    QVERIFY(item->text.startsWith(QChar(0x2026)) && item->text.endsWith(QChar(0x2026)));
    QCOMPARE(item->matches.size(), 1);
    QCOMPARE(item->text.mid(item->matches.at(0).first, item->matches.at(0).second),
             QString("关键词"));
    QVERIFY(!item->text.contains('\n'));
    QCOMPARE(item->send_date, QDateTime(QDate(2024, 6, 1), QTime(9, 0)));
    qDeleteAll(page.items);
}

void TestSearch::querySyntaxIsPlainText() {
    const QStringList texts = {"say \"hi\" OR NEAR(a b) *x* ^y -z col:v",
                               "完成率100% 了",
                               "完成率1000 了",
                               "file_name.txt",
                               "filexname.txt",
                               "it's'; DROP TABLE message_all; --"};
    QList<int> ids;
    for (const QString& text : texts)
        ids.append(Store(2001, text));
    QCOMPARE(Ids(texts[0]), (QList<int>{ids[0]}));
    QCOMPARE(Ids("率100%"), (QList<int>{ids[1]}));
    QCOMPARE(Ids("100% 了"), (QList<int>{ids[1]}));
    QCOMPARE(Ids("e_n"), (QList<int>{ids[3]}));
    QCOMPARE(Ids("%"), (QList<int>{ids[1]}));
    QCOMPARE(Ids("_"), (QList<int>{ids[5], ids[3]}));
    QCOMPARE(Ids("'; DROP TABLE message_all; --"), (QList<int>{ids[5]}));
    for (const QString& syntax : {"\"", "*", ":", "NOT", "\"\"\"", "\\"}) {
        QList<int> expected;
        for (int i = texts.size() - 1; i >= 0; --i) {
            if (texts.at(i).contains(syntax, Qt::CaseInsensitive))
                expected.append(ids.at(i));
        }
        QCOMPARE(Ids(syntax), expected);
    }
    QCOMPARE(MessageCount(), texts.size());
}

void TestSearch::pagesGoOnBelowTheLastResult() {
    QList<int> stored;
    for (int i = 0; i < 120; ++i)
        stored.append(Store(2001 + i % 3, QStringLiteral("请提交作业%1").arg(i)));
    const MessageSearch::Page page = MessageSearch::Find("提交作业");
    QCOMPARE(page.items.size(), MessageSearch::kPageSize);
    QVERIFY(page.more);
    // Grouped: the conversation of the newest message first, each group newest first.
    QList<int> others;
    for (const MsgSearchItemInfo* item : page.items) {
        if (others.isEmpty() || others.last() != item->other_id)
            others.append(item->other_id);
    }
    qDeleteAll(page.items);
    QCOMPARE(others, (QList<int>{2001 + 119 % 3, 2001 + 118 % 3, 2001 + 117 % 3}));
    QCOMPARE(FoundIds("提交作业"), stored);
}

void TestSearch::scansWithoutIndexAreBounded() {
    QVERIFY(SearchIndex::Remove());
    const int needle = Store(2001, "找到针了");
    QVERIFY(SqlExec::Update(
        QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < "
                       "%1) INSERT INTO message_all (content, other_id, msg_type) SELECT "
                       "'无关的内容', 2002, 1 FROM n;")
            .arg(MessageSearch::kScanBudget + 5000)));
    // A short query reads at most the budget and says where it stopped.
    MessageSearch::Page page = MessageSearch::Find("针");
    QVERIFY(page.items.isEmpty());
    QVERIFY(page.more);
    QVERIFY(page.next_before_id > needle);
    page = MessageSearch::Find("针", page.next_before_id);
    QCOMPARE(page.items.size(), 1);
    QCOMPARE(page.items.at(0)->id, needle);
    QVERIFY(!page.more);
    qDeleteAll(page.items);
    // Without the index (an SQLite without trigram), longer queries scan the same way.
    QCOMPARE(Ids("找到针", needle + 1), (QList<int>{needle}));
    // A scan asked to give up stops before reading.
    page = MessageSearch::Find("针", 0, [] { return true; });
    QVERIFY(page.cancelled && page.items.isEmpty());
}

void TestSearch::findsConversationsAndContacts() {
    ParserProbe probe;
    probe.parse.OnUpdateDBGroupInfo({"301,期末考试讨论组", "302,王牌教研组"});
    ChatMsg direct = From(2001, 1);
    direct.send_name = "王芳";
    ChatMsg in_group = From(-2005, 2);
    in_group.receive_id = -301;
    in_group.send_id2 = 2005;
    in_group.send_name = "王小明";
    in_group.receive_name = "期末考试讨论组";
    in_group.content = "数学卷子出好了";
    probe.Feed(Reply().Add(direct).Add(in_group));

    SearchNames names;
    QCOMPARE(Names(names.Find("王")),
             (QStringList{"1:2001:王芳", "1:-302:王牌教研组", "2:2005:王小明"}));
    QCOMPARE(Names(names.Find("考试讨论")), (QStringList{"1:-301:期末考试讨论组"}));
    // Contacts of messages stored later are read on the next search.
    ChatMsg later = From(-2006, 3);
    later.receive_id = -301;
    later.send_id2 = 2006;
    later.send_name = "王五";
    probe.Feed(Reply().Add(later));
    QCOMPARE(Names(names.Find("王五")), (QStringList{"2:2006:王五"}));

    MessageSearch::Page page = MessageSearch::Find("卷子出好");
    QCOMPARE(page.items.size(), 1);
    QCOMPARE(page.items.at(0)->other_id, -301);
    QCOMPARE(page.items.at(0)->other_name, QString("期末考试讨论组"));
    QCOMPARE(page.items.at(0)->sender_name, QString("王小明"));
    qDeleteAll(page.items);
}

void TestSearch::followsStoredSentAndResentMessages() {
    ParserProbe probe;
    QCOMPARE(SearchIndex::IndexedAbove(), 0);
    ChatMsg text = From(2001, 1);
    text.content = "期末考试安排在下周三";
    probe.Feed(Reply().Add(text));
    QCOMPARE(FoundIds("期末考"), (QList<int>{1}));

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

void TestSearch::buildsForExistingMessagesAndResumesAfterAKill() {
    QVERIFY(SearchIndex::Remove());
    const QList<int> expected = StoreExisting(3000);
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
    // The builder goes on from there, pausing while poll replies are stored.
    SearchIndexBuilder builder;
    QSignalSpy complete(&builder, &SearchIndexBuilder::index_complete);
    builder.Start();
    builder.MakeWay();
    QTest::qWait(SearchIndexBuilder::kBusyPauseMs / 2);
    QCOMPARE(SearchIndex::IndexedAbove(), mark);
    QVERIFY(builder.IsRunning());
    QVERIFY(complete.wait(20000));
    QCOMPARE(SearchIndex::IndexedAbove(), 0);
    QVERIFY(SearchIndex::Verify());
    QCOMPARE(FoundIds("期末成绩"), expected);
    QCOMPARE(FoundIds("第2999条"), (QList<int>{2999}));
}

void TestSearch::engineIndexesBetweenPollsAndAnswersTheNewestRequest() {
    SimServer sim(2000, 300);
    QVERIFY(SignInAs("zhanglei", 10001, sim.UnitRecord(), sim.OpenSession("zhanglei")));
    StoreExisting(20000);
    SimEngine engine(sim, "zhanglei", 10001, false);
    QVERIFY(engine.Ok());
    MsgSearch* search = engine.Controller()->Search();
    QueuedSpy ready(search, &MsgSearch::msg_search_ready);
    engine.Start();

    // The parser builds between polls: a message sent meanwhile is stored and found as well.
    QTRY_VERIFY_WITH_TIMEOUT(SearchIndex::IndexedAbove() >= 0, 5000);
    QVERIFY(sim.SendChat("wangfang", "zhanglei", "建索引时到达的消息") > 0);
    QTRY_COMPARE_WITH_TIMEOUT(SearchIndex::IndexedAbove(), 0, 60000);
    QTRY_VERIFY_WITH_TIMEOUT(SearchIndex::IsMerged(), 30000);
    QVERIFY(SearchIndex::Verify());

    // The worker is kept busy while four requests come in: only the last is answered.
    QSemaphore busy;
    QSemaphore go_on;
    QMetaObject::invokeMethod(search, [&] {
        busy.release();
        go_on.acquire();
    });
    busy.acquire();
    search->OnSearch(1, "开会");
    search->OnSearch(2, "第1234");
    search->OnSearchMore(3, "开会", 3);
    search->OnSearch(4, " 第12345条 ");
    go_on.release();
    QVERIFY(ready.wait());
    search->OnSearch(5, "   ");
    QVERIFY(ready.wait());
    search->OnSearch(6, "建索引时");
    QVERIFY(ready.wait());
    QCOMPARE(ready.size(), 3);
    QCOMPARE(ready.at(0).at(0).toInt(), 4);
    QCOMPARE(Texts(Items(ready.at(0))), QStringList{"2005:第12345条：明天上午开会"});
    QCOMPARE(ready.at(1).at(0).toInt(), 5);
    QVERIFY(Items(ready.at(1)).isEmpty());
    QCOMPARE(Texts(Items(ready.at(2))), QStringList{"10002:建索引时到达的消息"});
    Free(ready);
}

int main(int argc, char** argv) {
    if (argc == 3 && qstrcmp(argv[1], "--build-until-killed") == 0)
        return BuildUntilKilled(argc, argv);
    TestHome home;
    QCoreApplication app(argc, argv);
    TestSearch tc;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&tc, argc, argv);
}

#include "tst_search.moc"
