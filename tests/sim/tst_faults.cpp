#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QtTest>

#include "tests/sim/SimCall.h"
#include "tests/support/TestMain.h"

using namespace sim_call;

class TestFaults : public QObject {
    Q_OBJECT
private slots:
    void init();
    void statusNotJsonAndEid1();
    void droppedConnection();
    void delayHoldsOnlyItsMethod();
    void limitedWildcardAndCleared();

private:
    FormBody InfoBody() const {
        return FormBody().Add("GetUser_ID", "10002").Add("SessionID", session_);
    }
    QString Info() const { return Services::InterfaceUrl(sim_.UnitBase(), "UserInfo_Get"); }
    QString Send() const { return Services::InterfaceUrlSlashed(sim_.UnitBase(), "Message_Send"); }
    FormBody SendBody() const {
        return FormBody()
            .Add("User_ID", "10001")
            .Add("Other_ID", "10002")
            .Add("ClientMessage_ID", 1)
            .Add("ClientCode", "c")
            .Add("SessionID", session_)
            .Add("Content", "hi");
    }

    SimServer sim_{300};
    QString session_;
};

void TestFaults::init() {
    QVERIFY(sim_.IsRunning());
    sim_.ClearFaults();
    session_ = sim_.OpenSession("zhanglei");
}

void TestFaults::statusNotJsonAndEid1() {
    sim_.SetFault("Message_Send", FaultKind::kStatus, 500);
    SimCall failed(HttpBase::kPost, Send(), SendBody());
    QVERIFY(failed.Wait());
    QVERIFY(!failed.Ok());
    QCOMPARE(failed.Status(), QString("500"));
    // Other methods are not touched.
    QCOMPARE(Post(Info(), InfoBody()).Text("Velta.EID"), QString("0"));

    sim_.SetFault("message_send", FaultKind::kNotJson);
    SimCall garbled(HttpBase::kPost, Send(), SendBody());
    QVERIFY(garbled.Wait());
    QVERIFY(garbled.Ok());
    QVERIFY(!garbled.Reply().IsValid());

    sim_.SetFault("Message_GetByMaxID2", FaultKind::kEid1);
    QCOMPARE(Post(PollUrl(sim_), PollBody("10001", session_)).Text("Velta.EID"), QString("1"));
}

void TestFaults::droppedConnection() {
    sim_.SetFault("Message_GetByMaxID2", FaultKind::kDrop);
    SimCall dropped(HttpBase::kPost, PollUrl(sim_), PollBody("10001", session_));
    QVERIFY(dropped.Wait());
    QVERIFY(dropped.Data().isEmpty());
    QVERIFY(!dropped.Reply().IsValid());

    QNetworkAccessManager manager;
    QNetworkRequest request(PollUrl(sim_));
    request.setHeader(QNetworkRequest::ContentTypeHeader, "application/x-www-form-urlencoded");
    QNetworkReply* reply = manager.post(request, PollBody("10001", session_).Encode());
    QVERIFY(QTest::qWaitFor([reply] { return reply->isFinished(); }, 60000));
    QVERIFY(reply->error() != QNetworkReply::NoError);
    delete reply;
}

void TestFaults::delayHoldsOnlyItsMethod() {
    sim_.SetFault("Message_Send", FaultKind::kDelay, 3000);
    SimCall delayed(HttpBase::kPost, Send(), SendBody());
    QCOMPARE(Post(Info(), InfoBody()).Text("Velta.EID"), QString("0"));
    QVERIFY(!delayed.Done());
    QVERIFY(delayed.Wait());
    QCOMPARE(delayed.Text("Velta.EID"), QString("0"));
}

void TestFaults::limitedWildcardAndCleared() {
    sim_.SetFault("UserInfo_Get", FaultKind::kStatus, 503, 1);
    SimCall once(HttpBase::kPost, Info(), InfoBody());
    QVERIFY(once.Wait());
    QCOMPARE(once.Status(), QString("503"));
    QCOMPARE(Post(Info(), InfoBody()).Text("Velta.EID"), QString("0"));

    sim_.SetFault("*", FaultKind::kEid1);
    QCOMPARE(Post(Info(), InfoBody()).Text("Velta.EID"), QString("1"));
    QCOMPARE(Post(Send(), SendBody()).Text("Velta.EID"), QString("1"));
    sim_.ClearFaults("*");
    QCOMPARE(Post(Send(), SendBody()).Text("Velta.EID"), QString("0"));

    sim_.SetFault("UserInfo_Get", FaultKind::kNotJson);
    sim_.ClearFaults();
    QCOMPARE(Post(Info(), InfoBody()).Text("Velta.EID"), QString("0"));
}

CORAL_TEST_GUILESS_MAIN(TestFaults)
#include "tst_faults.moc"
