#include <QtTest>

#include "tests/sim/SimCall.h"
#include "tests/support/TestMain.h"

using namespace sim_call;

// The faults the client's tests inject: each spoils only its method, for as many answers as
// asked, until cleared. A dropped connection is met by the attachment download tests.
class TestFaults : public QObject {
    Q_OBJECT
private slots:
    void init();
    void statusNotJsonAndEid1();
    void limitedWildcardAndCleared();

private:
    QString Info() const { return Services::InterfaceUrl(sim_.UnitBase(), "UserInfo_Get"); }
    FormBody InfoBody() const {
        return FormBody().Add("GetUser_ID", "10002").Add("SessionID", session_);
    }
    QString InfoEid() const { return Post(Info(), InfoBody()).Text("Velta.EID"); }

    SimServer sim_{300};
    QString session_;
};

void TestFaults::init() {
    QVERIFY(sim_.IsRunning());
    sim_.ClearFaults();
    session_ = sim_.OpenSession("zhanglei");
}

void TestFaults::statusNotJsonAndEid1() {
    sim_.SetFault("UserInfo_Get", FaultKind::kStatus, 500);
    SimCall failed(HttpBase::kPost, Info(), InfoBody());
    QVERIFY(failed.Wait());
    QVERIFY(!failed.Ok());
    QCOMPARE(failed.Status(), QString("500"));
    // Other methods are not touched.
    QCOMPARE(Post(PollUrl(sim_), PollBody("10001", session_)).Text("Velta.EID"), QString("0"));

    sim_.SetFault("userinfo_get", FaultKind::kNotJson);
    SimCall garbled(HttpBase::kPost, Info(), InfoBody());
    QVERIFY(garbled.Wait());
    QVERIFY(garbled.Ok());
    QVERIFY(!garbled.Reply().IsValid());

    sim_.SetFault("Message_GetByMaxID2", FaultKind::kEid1);
    QCOMPARE(Post(PollUrl(sim_), PollBody("10001", session_)).Text("Velta.EID"), QString("1"));
}

void TestFaults::limitedWildcardAndCleared() {
    sim_.SetFault("UserInfo_Get", FaultKind::kStatus, 503, 1);
    SimCall once(HttpBase::kPost, Info(), InfoBody());
    QVERIFY(once.Wait());
    QCOMPARE(once.Status(), QString("503"));
    QCOMPARE(InfoEid(), QString("0"));

    sim_.SetFault("*", FaultKind::kEid1);
    QCOMPARE(InfoEid(), QString("1"));
    QCOMPARE(Post(PollUrl(sim_), PollBody("10001", session_)).Text("Velta.EID"), QString("1"));
    sim_.ClearFaults("*");
    QCOMPARE(InfoEid(), QString("0"));

    sim_.SetFault("UserInfo_Get", FaultKind::kNotJson);
    sim_.ClearFaults();
    QCOMPARE(InfoEid(), QString("0"));
}

CORAL_TEST_GUILESS_MAIN(TestFaults)
#include "tst_faults.moc"
