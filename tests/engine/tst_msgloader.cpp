// Pages of one conversation: newest page, older pages of 40, new rows only, and the row the
// page already shows after sending.

#include <QtTest>

#include "EngineTestEnv.h"
#include "engine/EngineMetaTypes.h"
#include "engine/MessageStore.h"
#include "engine/MsgLoader.h"
#include "tests/support/TestMain.h"

using namespace engine_test;

namespace {

int Store(int other_id, int message_id, int msg_type = 1, const QString& url = QString(),
          int is_send = 1) {
    MessageRecord msg;
    msg.other_id = other_id;
    msg.message_id = message_id;
    msg.msg_type = msg_type;
    msg.url = url;
    msg.send_or_receive = is_send == -1 ? 1 : 0;
    msg.is_send = is_send;
    msg.send_date = QDateTime(QDate(2024, 5, 6), QTime(8, 0)).addSecs(message_id);
    return MessageStore::Insert(msg);
}

struct LoaderProbe {
    MsgLoader loader;
    QSignalSpy pages{&loader, &MsgLoader::msg_load_ready};
    QSignalSpy nulls{&loader, &MsgLoader::msg_null_load_ready};

    ~LoaderProbe() { FreeRecords<MessageItemInfoPointers>(pages); }
    MessageItemInfoPointers Last() const {
        return pages.last().at(0).value<MessageItemInfoPointers>();
    }
    QList<int> LastIds() const {
        QList<int> ids;
        for (const MessageItemInfo* item : Last())
            ids.append(item->id);
        return ids;
    }
};

QList<int> Ids(int from, int to, int step = 1) {
    QList<int> ids;
    for (int id = from; id <= to; id += step)
        ids.append(id);
    return ids;
}

}  // namespace

class TestMsgLoader : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { EngineMetaTypes::Register(); }
    void init() { QVERIFY(SignIn()); }

    void newMessagesAreDeliveredOnce();
    void recordsCarryGroupAndFileNames();
    void pagesGoBothWaysFortyAtATime();
};

void TestMsgLoader::newMessagesAreDeliveredOnce() {
    for (int i = 1; i <= 3; ++i)
        Store(2001, i);
    LoaderProbe probe;
    probe.loader.OnUpdateMsgPage(2001, 0, 0);
    Store(2001, 4);
    Store(2001, 5);
    probe.loader.OnNewMsgComming({2001});
    QCOMPARE(probe.LastIds(), Ids(4, 5));
    probe.loader.OnNewMsgComming({2001});
    QCOMPARE(probe.pages.size(), 2);

    // The page already shows what it sent; only the answer after it is new.
    probe.loader.OnUpdateToId(2001, Store(2001, -1, 1, QString(), -1));
    const int answer = Store(2001, 7);
    probe.loader.OnNewMsgComming({2001});
    QCOMPARE(probe.LastIds(), QList<int>{answer});

    // A conversation not loaded yet gets its newest page; the system entry gets nothing.
    Store(2002, 8);
    Store(0, 9);
    probe.loader.OnNewMsgComming({0, 2002});
    QCOMPARE(probe.pages.size(), 4);
    QCOMPARE(probe.Last().first()->other_id, 2002);
}

void TestMsgLoader::recordsCarryGroupAndFileNames() {
    SqlExec::Insert("INSERT INTO group_infos (group_id, group_name) VALUES (300, '语文组')");
    Store(-300, 1, 2, "files/42|教案.docx|12");
    Store(-300, 2, 3, "/home/t/本地|照片.png", -1);
    Store(-300, 3, 3, "no-bar.png");
    Store(-300, 4, 1, "ignored|x");
    LoaderProbe probe;
    probe.loader.OnUpdateMsgPage(-300, 0, 0);
    const MessageItemInfoPointers items = probe.Last();
    QCOMPARE(items.size(), 4);
    QCOMPARE(items.at(0)->group_name, QString("语文组"));
    QCOMPARE(items.at(0)->file_name, QString("教案.docx"));
    QCOMPARE(items.at(1)->file_name, QString("/home/t/本地|照片.png"));
    QCOMPARE(items.at(2)->file_name, QString("no-bar.png"));
    QCOMPARE(items.at(3)->file_name, QString());
    QCOMPARE(items.at(0)->send_date, QDateTime(QDate(2024, 5, 6), QTime(8, 0, 1)));
}

void TestMsgLoader::pagesGoBothWaysFortyAtATime() {
    // 2001 has the odd ids 1..199, 2002 the even ones.
    for (int i = 1; i <= 100; ++i) {
        Store(2001, i);
        Store(2002, 1000 + i);
    }
    LoaderProbe probe;
    QSignalSpy around(&probe.loader, &MsgLoader::msg_around_ready);
    QSignalSpy newer(&probe.loader, &MsgLoader::msg_newer_ready);
    auto ids = [](const QSignalSpy& spy, int arg) {
        QList<int> ids;
        const auto items = spy.last().at(arg).value<MessageItemInfoPointers>();
        for (const MessageItemInfo* item : items)
            ids.append(item->id);
        qDeleteAll(items);
        return ids;
    };
    probe.loader.OnUpdateMsgPage(2003, 0, 0);
    QCOMPARE(probe.nulls.size(), 1);
    QCOMPARE(probe.nulls.at(0).at(0).toInt(), 2003);
    probe.loader.OnUpdateMsgPage(2001, 0, 0);
    QCOMPARE(probe.LastIds(), Ids(121, 199, 2));
    probe.loader.OnUpdateMsgPage(2001, probe.LastIds().first(), 1);
    QCOMPARE(probe.LastIds(), Ids(41, 119, 2));
    probe.loader.OnUpdateMsgPage(2001, probe.LastIds().first(), 1);
    QCOMPARE(probe.LastIds(), Ids(1, 39, 2));
    probe.loader.OnUpdateMsgPage(2001, 1, 1);
    QCOMPARE(probe.pages.size(), 3);
    QCOMPARE(probe.nulls.size(), 1);

    // Opened at a message: pages on either side of it, newer ones up to the newest.
    probe.loader.OnLoadAround(2001, 101);
    QCOMPARE(around.last().at(1).toInt(), 101);
    QCOMPARE(ids(around, 2), Ids(61, 141, 2));
    QCOMPARE(around.last().at(3).toBool(), true);
    QCOMPARE(around.last().at(4).toBool(), true);
    probe.loader.OnLoadNewer(2001, 141);
    QCOMPARE(ids(newer, 1), Ids(143, 199, 2));
    QCOMPARE(newer.last().at(2).toBool(), false);

    // At the newest row, new messages are delivered after it, once.
    const int next = Store(2001, 500);
    probe.loader.OnNewMsgComming({2001});
    QCOMPARE(probe.LastIds(), QList<int>{next});
    probe.loader.OnLoadNewer(2001, next);
    QVERIFY(ids(newer, 1).isEmpty());

    // Near either end, and a row of another conversation or gone.
    probe.loader.OnLoadAround(2002, 2);
    QCOMPARE(ids(around, 2), Ids(2, 42, 2));
    QCOMPARE(around.last().at(3).toBool(), false);
    probe.loader.OnLoadAround(2001, 2);
    QVERIFY(ids(around, 2).isEmpty());
    QCOMPARE(around.size(), 3);
}

CORAL_TEST_GUILESS_MAIN(TestMsgLoader)
#include "tst_msgloader.moc"
