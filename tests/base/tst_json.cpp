#include <QTemporaryDir>
#include <QtTest>

#include "base/Json.h"
#include "tests/support/TestMain.h"

class TestJson : public QObject {
    Q_OBJECT
private slots:
    void dotPathsArraysAndSingleObjects();
    void invalidTextAndFiles();
};

void TestJson::dotPathsArraysAndSingleObjects() {
    const Json json(
        QStringLiteral(R"({"Velta":{"EID":"0","V":{"No":"2.0.19"},"N":5},"EID":"top"})"));
    QVERIFY(json.IsValid());
    QCOMPARE(json.Text("Velta.EID"), QString("0"));
    QCOMPARE(json.Text("Velta.V.No"), QString("2.0.19"));
    QCOMPARE(json.Text("EID"), QString("top"));
    QCOMPARE(json.Text("Velta.Missing", "Err"), QString("Err"));
    QCOMPARE(json.Text("Velta.V.No.Deeper", "Err"), QString("Err"));
    QCOMPARE(json.Text("Velta.N", "Err"), QString("Err"));  // numbers are not text

    const Json no_envelope(QStringLiteral(R"({"EID":"0"})"));
    QCOMPARE(no_envelope.Text("Velta.EID", "none"), QString("none"));

    const QJsonObject velta = json.Value("Velta").toObject();
    QCOMPARE(json.Text("V.No", QString(), velta), QString("2.0.19"));

    const Json lists(QStringLiteral(R"({"Velta":{"M":[{"a":"1"},{"a":"2"}],"R":{"a":"3"}}})"));
    QCOMPARE(lists.Array("Velta.M").size(), 2);
    QVERIFY(lists.Array("Velta.R").isEmpty());
    QCOMPARE(lists.Objects("Velta.R").size(), 1);
    QCOMPARE(lists.Objects("Velta.M").size(), 2);
    QVERIFY(lists.Objects("Velta.None").isEmpty());

    const Json top(QStringLiteral("[1,2,3]"));
    QCOMPARE(top.Array(QString()).size(), 3);
}

void TestJson::invalidTextAndFiles() {
    const Json bad(QStringLiteral("<html>not json</html>"));
    QVERIFY(!bad.IsValid());
    QVERIFY(bad.Error().contains("Offset: "));
    QCOMPARE(bad.Text("Velta.EID", "d"), QString("d"));

    const Json missing(QStringLiteral("/nonexistent/file.json"), true);
    QVERIFY(!missing.IsValid());
    QVERIFY(missing.Error().contains("/nonexistent/file.json"));

    // Saved indented, read back, replaced whole by a shorter text.
    QTemporaryDir dir;
    const QString path = dir.filePath("update.json");
    const Json json(QStringLiteral(R"({"Velta":{"V":{"No":"2.0.9","Url":"安装包.exe"}}})"));
    json.Save(path);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().contains("\n    "));  // indented
    const Json again(path, true);
    QCOMPARE(again.Text("Velta.V.Url"), QString("安装包.exe"));
    // A shorter reply replaces a longer one whole.
    Json(QStringLiteral(R"({"Velta":{"V":{"No":"2"}}})")).Save(path);
    QCOMPARE(Json(path, true).Text("Velta.V.No"), QString("2"));
    // A folder that is not there is not made: nothing is written.
    json.Save(dir.filePath("missing/dir/x.json"));
    QVERIFY(!QFileInfo::exists(dir.filePath("missing")));
}

CORAL_TEST_GUILESS_MAIN(TestJson)
#include "tst_json.moc"
