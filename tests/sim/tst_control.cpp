#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTemporaryFile>
#include <QtTest>

#include "sim/SimCommand.h"
#include "tests/sim/SimCall.h"
#include "tests/support/TestMain.h"

using namespace sim_call;

namespace {

QJsonObject Parsed(const std::vector<std::string>& args, QString* error = nullptr) {
    SimCommand command;
    std::string message;
    if (!command.Parse(args, &message)) {
        if (error)
            *error = QString::fromStdString(message);
        return QJsonObject();
    }
    QJsonObject body = QJsonDocument::fromJson(QByteArray::fromStdString(command.Body())).object();
    body.insert("_operation", QString::fromStdString(command.Operation()));
    body.insert("_port", command.Port());
    return body;
}

}  // namespace

class TestControl : public QObject {
    Q_OBJECT
private slots:
    void commandLineBuildsRequests();
    void jsonEndpoints();
    void answeringUserReadsAndReplies();

private:
    QJsonObject Control(const SimServer& sim, const QString& operation, const QJsonObject& body);
};

void TestControl::commandLineBuildsRequests() {
    QJsonObject send = Parsed({"send", "--from", "wangfang", "--to", "-301", "--text", "你好"});
    QCOMPARE(send.value("_operation").toString(), QString("send"));
    QCOMPARE(send.value("_port").toInt(), 8770);
    QCOMPARE(send.value("to").toString(), QString("-301"));
    QCOMPARE(send.value("text").toString(), QString("你好"));

    QTemporaryFile picture(QDir::tempPath() + "/simXXXXXX.png");
    QVERIFY(picture.open());
    picture.write("PNGDATA");
    picture.close();
    send = Parsed({"send", "--from", "a", "--to", "b", "--file", picture.fileName().toStdString(),
                   "--port", "9000"});
    QCOMPARE(send.value("type").toString(), QString("3"));
    QCOMPARE(QByteArray::fromBase64(send.value("file").toString().toLatin1()),
             QByteArray("PNGDATA"));
    QCOMPARE(send.value("name").toString(), QFileInfo(picture.fileName()).fileName());
    QCOMPARE(send.value("_port").toInt(), 9000);
    QCOMPARE(SimCommand::TypeOfFile("clip.MP4"), 5);
    QCOMPARE(SimCommand::TypeOfFile("a.wav"), 4);
    QCOMPARE(SimCommand::TypeOfFile("report.docx"), 2);

    QJsonObject fault = Parsed({"fault", "--method", "Message_Send", "--status", "500"});
    QCOMPARE(fault.value("kind").toString(), QString("status"));
    QCOMPARE(fault.value("value").toString(), QString("500"));
    QCOMPARE(Parsed({"fault", "--method", "X", "--not-json"}).value("kind").toString(),
             QString("not-json"));
    QCOMPARE(Parsed({"fault", "--clear"}).value("kind").toString(), QString("clear"));

    QString error;
    QVERIFY(Parsed({"send", "--from", "a", "--to", "b"}, &error).isEmpty());
    QVERIFY(error.contains("--text"));
    QVERIFY(Parsed({"fault", "--method", "X"}, &error).isEmpty());
    QVERIFY(Parsed({"remind", "--to"}, &error).isEmpty());
    QVERIFY(
        Parsed({"publish", "--version", "2.0.19", "--file", "/no/such/file"}, &error).isEmpty());
    QVERIFY(error.contains("/no/such/file"));
}

QJsonObject TestControl::Control(const SimServer& sim, const QString& operation,
                                 const QJsonObject& body) {
    QNetworkAccessManager manager;
    QNetworkRequest request(QStringLiteral("http://%1/_sim/%2").arg(sim.VendorHost(), operation));
    request.setHeader(QNetworkRequest::ContentTypeHeader, "application/json");
    QNetworkReply* reply = manager.post(request, QJsonDocument(body).toJson());
    if (!QTest::qWaitFor([reply] { return reply->isFinished(); }, 60000))
        return QJsonObject();
    const QJsonObject answer = QJsonDocument::fromJson(reply->readAll()).object();
    delete reply;
    return answer;
}

void TestControl::jsonEndpoints() {
    SimServer sim(300);
    // The control interface stays usable while every service method is spoiled.
    sim.SetFault("*", FaultKind::kStatus, 500);
    const QJsonObject sent =
        Control(sim, "send", {{"from", "wangfang"}, {"to", "zhanglei"}, {"text", "来自命令行"}});
    QVERIFY(sent.value("ok").toBool());
    sim.ClearFaults();

    const QString session = sim.OpenSession("zhanglei");
    const QJsonArray history = Messages(sim, "10001", session);
    QCOMPARE(history.last().toObject().value("Message_ID").toString(), sent.value("id").toString());
    QCOMPARE(history.last().toObject().value("MsgContent").toString(), QString("来自命令行"));

    const QJsonObject file =
        Control(sim, "send",
                {{"from", "10004"},
                 {"to", "-201"},
                 {"name", "表格.xlsx"},
                 {"type", "2"},
                 {"file", QString::fromLatin1(QByteArray(2048, 'x').toBase64())}});
    QVERIFY(file.value("ok").toBool());
    const QJsonObject last = Messages(sim, "10001", session).last().toObject();
    QVERIFY(last.value("MsgUrl").toString().endsWith("|表格.xlsx|2"));

    QVERIFY(Control(sim, "remind", {{"to", "zhanglei"}, {"remind", 9417}, {"text", "通知"}})
                .value("ok")
                .toBool());
    QVERIFY(Control(sim, "unread", {{"user", "zhanglei"}, {"remind", 9417}, {"num", 3}})
                .value("ok")
                .toBool());
    QCOMPARE(Control(sim, "expire", {{"user", "zhanglei"}}).value("id").toString(), QString("1"));
    QCOMPARE(Post(PollUrl(sim), PollBody("10001", session)).Text("Velta.EID"), QString("1"));

    QVERIFY(
        Control(sim, "fault", {{"method", "UserInfo_Get"}, {"kind", "eid1"}}).value("ok").toBool());
    const QString fresh = sim.OpenSession("zhanglei");
    QCOMPARE(Post(Services::InterfaceUrl(sim.UnitBase(), "UserInfo_Get"),
                  FormBody().Add("GetUser_ID", "10002").Add("SessionID", fresh))
                 .Text("Velta.EID"),
             QString("1"));

    const QJsonObject bad =
        Control(sim, "send", {{"from", "nobody"}, {"to", "zhanglei"}, {"text", "x"}});
    QVERIFY(!bad.value("ok").toBool());
    QVERIFY(!bad.value("error").toString().isEmpty());
    QVERIFY(!Control(sim, "no-such-operation", {}).value("ok").toBool());
}

void TestControl::answeringUserReadsAndReplies() {
    SimServer sim(25000, 50);
    SimPoller me(sim, "10001");
    const Json sent = Post(Services::InterfaceUrlSlashed(sim.UnitBase(), "Message_Send"),
                           FormBody()
                               .Add("User_ID", "10001")
                               .Add("Other_ID", "10003")
                               .Add("ClientMessage_ID", 5)
                               .Add("ClientCode", "me")
                               .Add("SessionID", me.Session())
                               .Add("Content", "在吗"));
    const QString id = sent.Text("Velta.Message_ID");
    bool read = false, answered = false;
    // The echo of the own message, the read log and the answer: at most three wake-ups.
    for (int round = 0; round < 3 && !(read && answered); ++round) {
        const Json reply = me.Poll();
        for (const QJsonValue& m : reply.Array("Velta.M")) {
            answered |= m.toObject().value("Send_ID").toString() == "10003" &&
                        m.toObject().value("MsgContent").toString() == "收到：在吗";
        }
        for (const QJsonValue& log : reply.Array("Velta.ML"))
            read |= log.toObject().value("Message_ID").toString() == id;
    }
    QVERIFY(read);
    QVERIFY(answered);
}

CORAL_TEST_GUILESS_MAIN(TestControl)
#include "tst_control.moc"
