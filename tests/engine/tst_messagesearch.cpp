// Searching the stored messages and the names known locally: substrings of Chinese and mixed
// text, short queries, query syntax taken as plain text, excerpts, pages and names.

#include <QtTest>

#include "ParserProbe.h"
#include "engine/EngineMetaTypes.h"
#include "engine/MessageSearch.h"
#include "engine/MessageStore.h"
#include "engine/SearchIndex.h"
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

// The ids found on the first page, in the order given.
QList<int> Ids(const QString& query, int before_id = 0) {
    const MessageSearch::Page page = MessageSearch::Find(query, before_id);
    QList<int> ids;
    for (const MsgSearchItemInfo* item : page.items)
        ids.append(item->id);
    qDeleteAll(page.items);
    return ids;
}

QStringList Names(const MsgSearchItemInfoPointers& items) {
    QStringList names;
    for (const MsgSearchItemInfo* item : items)
        names.append(
            QStringLiteral("%1:%2:%3").arg(item->kind).arg(item->other_id).arg(item->text));
    qDeleteAll(items);
    return names;
}

}  // namespace

class TestMessageSearch : public QObject {
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
};

void TestMessageSearch::findsChineseAndMixedSubstrings() {
    const int exam = Store(2001, "期末考试安排在下周三");
    const int meeting = Store(2002, "明天的Meeting改到3点");
    const int file = Store(-300, "", 2, "files/9|期末总结V2.docx|12");
    const int shorter = Store(2001, "期末");
    Store(0, "期末考试的通知");
    const int midterm = Store(2003, "期中考试");

    QCOMPARE(Ids("期末考"), (QList<int>{exam}));
    QCOMPARE(Ids("  期末考试安排 "), (QList<int>{exam}));
    QCOMPARE(Ids("meeting改到"), (QList<int>{meeting}));
    QCOMPARE(Ids("的MEETING"), (QList<int>{meeting}));
    QCOMPARE(Ids("总结v2.DOC"), (QList<int>{file}));
    QCOMPARE(Ids("files/9"), QList<int>());
    // One and two characters: read without the index; grouped by conversation, newest first.
    QCOMPARE(Ids("期末"), (QList<int>{shorter, exam, file}));
    QCOMPARE(Ids("考"), (QList<int>{midterm, exam}));
    QCOMPARE(Ids("M"), (QList<int>{meeting}));
    QCOMPARE(Ids("3"), (QList<int>{meeting}));
    QCOMPARE(Ids(""), QList<int>());
}

void TestMessageSearch::excerptsMarkTheMatches() {
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
    QCOMPARE(item->sender_name, QString("李老师"));
    QCOMPARE(item->send_date, QDateTime(QDate(2024, 6, 1), QTime(9, 0)));
    qDeleteAll(page.items);
}

void TestMessageSearch::querySyntaxIsPlainText() {
    const QStringList texts = {"say \"hi\" OR NEAR(a b) *x* ^y -z col:v",
                               "完成率100% 了",
                               "完成率1000 了",
                               "file_name.txt",
                               "filexname.txt",
                               "it's'; DROP TABLE message_all; --"};
    QList<int> ids;
    for (const QString& text : texts)
        ids.append(Store(2001, text));
    QCOMPARE(Ids("\"hi\" OR"), (QList<int>{ids[0]}));
    QCOMPARE(Ids("NEAR(a b)"), (QList<int>{ids[0]}));
    QCOMPARE(Ids("*x* ^y -z col:v"), (QList<int>{ids[0]}));
    QCOMPARE(Ids("率100%"), (QList<int>{ids[1]}));
    QCOMPARE(Ids("100% 了"), (QList<int>{ids[1]}));
    QCOMPARE(Ids("e_n"), (QList<int>{ids[3]}));
    QCOMPARE(Ids("%"), (QList<int>{ids[1]}));
    QCOMPARE(Ids("_"), (QList<int>{ids[5], ids[3]}));
    QCOMPARE(Ids("'; DROP TABLE message_all; --"), (QList<int>{ids[5]}));
    for (const QString& syntax :
         {"\"", "OR", "*", "(", ")", "^", "-", ":", "NOT", "\"\"\"", "\\"}) {
        QList<int> expected;
        for (int i = texts.size() - 1; i >= 0; --i) {
            if (texts.at(i).contains(syntax, Qt::CaseInsensitive))
                expected.append(ids.at(i));
        }
        QCOMPARE(Ids(syntax), expected);
    }
    QCOMPARE(MessageCount(), texts.size());
}

void TestMessageSearch::pagesGoOnBelowTheLastResult() {
    QList<int> stored;
    for (int i = 0; i < 120; ++i)
        stored.prepend(Store(2001 + i % 3, QStringLiteral("请提交作业%1").arg(i)));
    MessageSearch::Page page = MessageSearch::Find("提交作业");
    QCOMPARE(page.items.size(), MessageSearch::kPageSize);
    QVERIFY(page.more);
    // Grouped: the conversation of the newest message first, each group newest first.
    QList<int> others;
    for (const MsgSearchItemInfo* item : page.items) {
        if (others.isEmpty() || others.last() != item->other_id)
            others.append(item->other_id);
    }
    QCOMPARE(others, (QList<int>{2001 + 119 % 3, 2001 + 118 % 3, 2001 + 117 % 3}));
    QList<int> found;
    for (;;) {
        for (const MsgSearchItemInfo* item : page.items)
            found.append(item->id);
        qDeleteAll(page.items);
        if (!page.more)
            break;
        page = MessageSearch::Find("提交作业", page.next_before_id);
    }
    std::sort(found.begin(), found.end(), std::greater<int>());
    QCOMPARE(found, stored);
}

void TestMessageSearch::scansWithoutIndexAreBounded() {
    QVERIFY(SearchIndex::Remove());
    const int needle = Store(2001, "找到针了");
    SqlExec::Update(
        QStringLiteral(
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) INSERT "
            "INTO "
            "message_all (content, other_id, msg_type) SELECT '无关的内容', 2002, 1 FROM n;")
            .arg(MessageSearch::kScanBudget + 5000));
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

void TestMessageSearch::findsConversationsAndContacts() {
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

CORAL_TEST_GUILESS_MAIN(TestMessageSearch)
#include "tst_messagesearch.moc"
