#include <QStringList>
#include <QtTest>

#include "base/Account.h"
#include "base/LogText.h"
#include "tests/support/TestMain.h"

// Passwords and session ids never reach the log, whatever form they travel in (request bodies:
// tst_http).
class TestLogText : public QObject {
    Q_OBJECT
private slots:
    void masksSecretValuesOnly();
    void accountDumpCarriesNoSecret();
};

namespace {

QStringList g_lines;

void Capture(QtMsgType, const QMessageLogContext&, const QString& message) {
    g_lines << message;
}

// Collects what the code under test logs while it lives.
class LogCapture {
public:
    LogCapture() {
        g_lines.clear();
        previous_ = qInstallMessageHandler(Capture);
    }
    ~LogCapture() { qInstallMessageHandler(previous_); }
    QString Text() const { return g_lines.join('\n'); }

private:
    QtMessageHandler previous_;
};

}  // namespace

void TestLogText::masksSecretValuesOnly() {
    QCOMPARE(LogText::Redacted("loginid=zhanglei&encyptpassword=0Nk9%24b5&onlinetype=192"),
             QStringLiteral("loginid=zhanglei&encyptpassword=***&onlinetype=192"));
    QCOMPARE(LogText::Redacted("http://h/x.asmx/M?User_ID=1&SessionID=c8a6&MathNum=20"),
             QStringLiteral("http://h/x.asmx/M?User_ID=1&SessionID=***&MathNum=20"));
    QCOMPARE(LogText::Redacted("re.aspx?GCheckStr=S-9"), QStringLiteral("re.aspx?GCheckStr=***"));
    QCOMPARE(
        LogText::Redacted(
            "{\"Velta\":{\"EID\":\"0\",\"SessionID\":\"c8\\\"a6\",\"Nick\":\"张校长\"}}"),
        QStringLiteral("{\"Velta\":{\"EID\":\"0\",\"SessionID\":\"***\",\"Nick\":\"张校长\"}}"));
    QCOMPARE(
        LogText::Redacted(
            "QMap((\"Nick\", \"张\")(\"SessionID\", \"c8a6\")(\"usr_psw\", \"123456\"))"),
        QStringLiteral("QMap((\"Nick\", \"张\")(\"SessionID\", \"***\")(\"usr_psw\", \"***\"))"));
    // Names that only contain a secret name are other fields.
    QCOMPARE(LogText::Redacted("OldSessionIDs=3&xpassword=4"),
             QStringLiteral("OldSessionIDs=3&xpassword=4"));
}

void TestLogText::accountDumpCarriesNoSecret() {
    Account::SetupUpdatePath();
    AccountMap& account = Account::GetAccountInfo("zhanglei");
    account["SessionID"] = "c8a62a0f";
    account["usr_psw"] = "pa55word";
    LogCapture log;
    QVERIFY(Account::SaveAccountInfo("zhanglei"));
    const QString encoded = Account::GetEncryptPSW("pa55word");
    QVERIFY(log.Text().contains("account_settings_"));
    QVERIFY(!log.Text().contains("c8a62a0f"));
    QVERIFY(!log.Text().contains("pa55word"));
    QVERIFY(!log.Text().contains(encoded));
}

CORAL_TEST_GUILESS_MAIN(TestLogText)

#include "tst_log_text.moc"
