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

QJsonObject Control(const SimServer& sim, const QString& operation, const QJsonObject& body) {
    QNetworkAccessManager manager;
    QNetworkRequest request(QStringLiteral("http://%1/_sim/%2").arg(sim.VendorHost(), operation));
    request.setHeader(QNetworkRequest::ContentTypeHeader, "application/json");
    QScopedPointer<QNetworkReply> reply(manager.post(request, QJsonDocument(body).toJson()));
    if (!QTest::qWaitFor([&reply] { return reply->isFinished(); }, 60000))
        return QJsonObject();
    return QJsonDocument::fromJson(reply->readAll()).object();
}

}  // namespace

// The command line the README offers for sending oneself messages, and the control interface
// it talks to.
class TestControl : public QObject {
    Q_OBJECT
private slots:
    void commandLineBuildsRequests();
    void controlWorksWhileServicesFail();
};

void TestControl::commandLineBuildsRequests() {
    QJsonObject send = Parsed({"send", "--from", "wangfang", "--to", "-301", "--text", "你好"});
    QCOMPARE(send.value("_operation").toString(), QString("send"));
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
    QCOMPARE(send.value("_port").toInt(), 9000);
    QCOMPARE(Parsed({"fault", "--method", "X", "--status", "500"}).value("kind").toString(),
             QString("status"));

    QString error;
    QVERIFY(Parsed({"send", "--from", "a", "--to", "b"}, &error).isEmpty());
    QVERIFY(error.contains("--text"));
    QVERIFY(Parsed({"fault", "--method", "X"}, &error).isEmpty());
}

void TestControl::controlWorksWhileServicesFail() {
    SimServer sim(300);
    sim.SetFault("*", FaultKind::kStatus, 500);
    const QJsonObject sent =
        Control(sim, "send", {{"from", "wangfang"}, {"to", "zhanglei"}, {"text", "来自命令行"}});
    QVERIFY(sent.value("ok").toBool());
    QVERIFY(Control(sim, "fault", {{"kind", "clear"}}).value("ok").toBool());
    const QJsonArray history = Messages(sim, "10001", sim.OpenSession("zhanglei"));
    QCOMPARE(history.last().toObject().value("Message_ID").toString(), sent.value("id").toString());
    QCOMPARE(history.last().toObject().value("MsgContent").toString(), QString("来自命令行"));

    const QJsonObject bad =
        Control(sim, "send", {{"from", "nobody"}, {"to", "zhanglei"}, {"text", "x"}});
    QVERIFY(!bad.value("ok").toBool());
    QVERIFY(!bad.value("error").toString().isEmpty());
    QVERIFY(!Control(sim, "no-such-operation", {}).value("ok").toBool());
}

CORAL_TEST_GUILESS_MAIN(TestControl)
#include "tst_control.moc"
