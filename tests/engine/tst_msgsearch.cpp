// The search worker on its own thread: only the newest request is answered, and against
// platform-sim the demo history is found and a result opens its conversation at the message.

#include <QSemaphore>
#include <QThread>
#include <QtTest>
#include <memory>

#include "EngineTestEnv.h"
#include "engine/EngineMetaTypes.h"
#include "engine/MessageStore.h"
#include "engine/MsgController.h"
#include "engine/MsgLoader.h"
#include "engine/MsgParse.h"
#include "engine/MsgSearch.h"
#include "engine/SearchIndex.h"
#include "tests/support/QueuedSpy.h"
#include "tests/support/SimServer.h"
#include "tests/support/TestMain.h"

using namespace engine_test;

namespace {

MsgSearchItemInfoPointers Items(const QVariantList& call) {
    return call.at(1).value<MsgSearchItemInfoPointers>();
}

void Free(const QueuedSpy& spy) {
    for (const QVariantList& call : spy)
        qDeleteAll(Items(call));
}

// "other_id:text" of the message results.
QStringList Messages(const MsgSearchItemInfoPointers& items) {
    QStringList found;
    for (const MsgSearchItemInfo* item : items) {
        if (item->kind == MsgSearchItemInfo::kMessage)
            found.append(QStringLiteral("%1:%2").arg(item->other_id).arg(item->text));
    }
    return found;
}

// The engine as the main window runs it; the records no test looks at are freed.
struct Engine {
    QObject context;
    std::unique_ptr<MsgController> owned{new MsgController};
    MsgController& controller = *owned;

    Engine() {
        controller.Init();
        QObject::connect(controller.Parse(), &MsgParse::update_connect_list_ui, &context,
                         [](ConnectListItemInfoPointers list) { qDeleteAll(list); });
        QObject::connect(controller.Parse(), &MsgParse::msgs_sys_has_receive, &context,
                         [](MessageSysItemInfoPointers list) { qDeleteAll(list); });
        QObject::connect(controller.Loader(), &MsgLoader::msg_load_ready, &context,
                         [](MessageItemInfoPointers list) { qDeleteAll(list); });
    }
    ~Engine() {
        // Stopped first: what the workers sent on their way out still reaches the context.
        owned.reset();
        QCoreApplication::sendPostedEvents(&context, QEvent::MetaCall);
    }
};

}  // namespace

class TestMsgSearch : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { EngineMetaTypes::Register(); }

    void onlyTheNewestRequestIsAnswered();
    void findsTheDemoHistoryAndOpensAtAResult();
    void indexesAnExistingFileBetweenPolls();
};

void TestMsgSearch::onlyTheNewestRequestIsAnswered() {
    QVERIFY(SignIn());
    QVERIFY(SearchIndex::Install());
    MessageRecord msg;
    msg.other_id = 2001;
    msg.other_name = "李老师";
    msg.msg_type = 1;
    for (const QString& text : {"期末考试安排", "期末作业", "期中考试"}) {
        msg.content = text;
        QVERIFY(MessageStore::Insert(msg) > 0);
    }
    QThread thread;
    auto* search = new MsgSearch;
    search->moveToThread(&thread);
    connect(&thread, &QThread::finished, search, &QObject::deleteLater);
    thread.start();
    QueuedSpy ready(search, &MsgSearch::msg_search_ready);

    // The worker is kept busy while four requests come in.
    QSemaphore busy;
    QSemaphore go_on;
    QMetaObject::invokeMethod(search, [&] {
        busy.release();
        go_on.acquire();
    });
    busy.acquire();
    search->OnSearch(1, "期末");
    search->OnSearch(2, "期末考");
    search->OnSearchMore(3, "期末", 3);
    search->OnSearch(4, " 考试 ");
    go_on.release();
    QVERIFY(ready.wait());
    search->OnSearch(5, "   ");
    QVERIFY(ready.wait());
    QCOMPARE(ready.size(), 2);
    QCOMPARE(ready.at(0).at(0).toInt(), 4);
    QCOMPARE(Messages(Items(ready.at(0))), (QStringList{"2001:期中考试", "2001:期末考试安排"}));
    QCOMPARE(ready.at(1).at(0).toInt(), 5);
    QVERIFY(Items(ready.at(1)).isEmpty());
    Free(ready);
    thread.quit();
    thread.wait();
}

void TestMsgSearch::findsTheDemoHistoryAndOpensAtAResult() {
    SimServer sim(2000, 300);
    QVERIFY(sim.IsRunning());
    QVERIFY(SignInAs("zhanglei", 10001, sim.UnitRecord(), sim.OpenSession("zhanglei")));
    Engine engine;
    MsgController& controller = engine.controller;
    QueuedSpy ready(controller.Search(), &MsgSearch::msg_search_ready);
    QueuedSpy around(controller.Loader(), &MsgLoader::msg_around_ready);
    controller.Start();

    const QString sql = "SELECT COUNT(*) FROM message_all WHERE content LIKE :text";
    QVERIFY(sim.SendChat("wangfang", "zhanglei", "期中考试成绩已录入系统") > 0);
    QTRY_COMPARE_WITH_TIMEOUT(Count(sql, {{"text", "期中考试成绩%"}}), 1, 10000);

    controller.Search()->OnSearch(1, "期中考试");
    QVERIFY(ready.wait());
    const MsgSearchItemInfoPointers items = Items(ready.last());
    // One conversation, newest first; the reminders about the exams are not chat messages.
    QCOMPARE(Messages(items),
             (QStringList{"10002:期中考试成绩已录入系统",
                          "10002:期中考试的监考表已经发您了，请过目。", "10002:期中考试安排.txt"}));
    const MsgSearchItemInfo* hit = items.at(1);
    QCOMPARE(hit->other_name, QString("王芳"));
    QCOMPARE(hit->sender_name, QString("王芳"));
    QCOMPARE(hit->matches, (QList<QPair<int, int>>{{0, 4}}));

    QMetaObject::invokeMethod(controller.Loader(), "OnLoadAround", Q_ARG(int, hit->other_id),
                              Q_ARG(int, hit->id));
    QVERIFY(around.wait());
    const auto page = around.last().at(2).value<MessageItemInfoPointers>();
    QCOMPARE(around.last().at(1).toInt(), hit->id);
    QVERIFY(std::any_of(page.begin(), page.end(), [hit](const MessageItemInfo* item) {
        return item->id == hit->id && item->content == "期中考试的监考表已经发您了，请过目。";
    }));
    qDeleteAll(page);
    Free(ready);
}

void TestMsgSearch::indexesAnExistingFileBetweenPolls() {
    SimServer sim(2000, 300);
    QVERIFY(SignInAs("zhanglei", 10001, sim.UnitRecord(), sim.OpenSession("zhanglei")));
    // A history stored by a client that had no index.
    MessageRecord msg;
    msg.other_id = 10009;
    msg.other_name = "周欣";
    msg.msg_type = 1;
    SqlExec::Begin();
    for (int i = 1; i <= 20000; ++i) {
        msg.message_id = -i;
        msg.content = QStringLiteral("第%1条旧消息").arg(i);
        MessageStore::Insert(msg);
    }
    SqlExec::Commit();
    Engine engine;
    MsgController& controller = engine.controller;
    QueuedSpy ready(controller.Search(), &MsgSearch::msg_search_ready);
    controller.Start();

    // The parser builds between polls: a message sent meanwhile is stored and found as well.
    QTRY_VERIFY_WITH_TIMEOUT(SearchIndex::IndexedAbove() >= 0, 5000);
    QVERIFY(sim.SendChat("wangfang", "zhanglei", "建索引时到达的消息") > 0);
    QTRY_COMPARE_WITH_TIMEOUT(SearchIndex::IndexedAbove(), 0, 60000);
    QTRY_VERIFY_WITH_TIMEOUT(SearchIndex::IsMerged(), 30000);
    QVERIFY(SearchIndex::Verify());
    controller.Search()->OnSearch(1, "第12345条");
    QVERIFY(ready.wait());
    QCOMPARE(Messages(Items(ready.last())), QStringList{"10009:第12345条旧消息"});
    controller.Search()->OnSearch(2, "建索引时");
    QVERIFY(ready.wait());
    QCOMPARE(Messages(Items(ready.last())), QStringList{"10002:建索引时到达的消息"});
    Free(ready);
}

CORAL_TEST_GUILESS_MAIN(TestMsgSearch)
#include "tst_msgsearch.moc"
