#include <QtTest>

#include "tests/sim/SimCall.h"
#include "tests/support/TestMain.h"

using namespace sim_call;

// The heartbeat as the client's poll loop meets it: empty lists when a hold ends, EID "1" once
// the session is gone. A poll woken by news is met by the engine's own tests.
class TestLongPoll : public QObject {
    Q_OBJECT
private slots:
    void holdEndsWithEmptyLists();
    void expiredSessionsAnswerEid1();
};

void TestLongPoll::holdEndsWithEmptyLists() {
    SimServer sim(200);
    const QString session = sim.OpenSession("zhanglei");
    const QString num =
        Post(PollUrl(sim), PollBody("10001", session)).Text("Velta.MaxNumUpdateLog_ID");
    const Json idle = Post(PollUrl(sim), CaughtUpBody(sim, "10001", session));
    QCOMPARE(idle.Text("Velta.EID"), QString("0"));
    for (const char* list : {"Velta.M", "Velta.ML", "Velta.B", "Velta.NumUpdate"}) {
        QVERIFY2(idle.Value(list).isArray(), list);
        QCOMPARE(idle.Array(list).size(), 0);
    }
    QCOMPARE(idle.Text("Velta.MaxNumUpdateLog_ID"), num);
}

void TestLongPoll::expiredSessionsAnswerEid1() {
    SimServer sim(25000);
    QCOMPARE(Post(PollUrl(sim), PollBody("10001", "no-such-session")).Text("Velta.EID"),
             QString("1"));
    const QString session = sim.OpenSession("zhanglei");
    // A session is only good for its own user.
    QCOMPARE(Post(PollUrl(sim), PollBody("10002", session)).Text("Velta.EID"), QString("1"));

    SimCall held(HttpBase::kPost, PollUrl(sim), CaughtUpBody(sim, "10001", session));
    QTRY_COMPARE_WITH_TIMEOUT(sim.HeldPolls(), 1, 30000);
    QCOMPARE(sim.ExpireSessions("zhanglei"), 1);
    QVERIFY(held.Wait());
    QCOMPARE(held.Text("Velta.EID"), QString("1"));
    QVERIFY(!held.Text("Velta.ErrorMessage").isEmpty());

    const Json login = Post(Services::LoginUrl(sim.UnitBase()), LoginBody("zhanglei", "123456"));
    const QString fresh = login.Text("Velta.SessionID");
    QCOMPARE(Post(PollUrl(sim), PollBody("10001", fresh)).Text("Velta.EID"), QString("0"));
}

CORAL_TEST_GUILESS_MAIN(TestLongPoll)
#include "tst_longpoll.moc"
