#include <QtTest>

#include "tests/support/TestMain.h"

#include "platform/SingleInstance.h"

class TestSingleInstance : public QObject {
    Q_OBJECT
private slots:
    void secondCopyWakesTheFirst();
    void namesDifferPerUser();
};

void TestSingleInstance::secondCopyWakesTheFirst() {
    const QString name = QStringLiteral("coral-test-%1").arg(QCoreApplication::applicationPid());
    auto running = std::make_unique<SingleInstance>(name);
    QVERIFY(running->Claim());
    QSignalSpy woken(running.get(), &SingleInstance::activate_requested);

    SingleInstance second(name);
    QVERIFY(!second.Claim());
    QVERIFY(woken.wait());
    QCOMPARE(woken.size(), 1);

    // Once the first copy has ended, the next start runs.
    running.reset();
    SingleInstance next(name);
    QVERIFY(next.Claim());
}

void TestSingleInstance::namesDifferPerUser() {
    const QString home = qEnvironmentVariable("HOME");
    const QString mine = SingleInstance::DefaultName();
    QCOMPARE(SingleInstance::DefaultName(), mine);
    qputenv("HOME", QFile::encodeName(home + "-other"));
    QVERIFY(SingleInstance::DefaultName() != mine);
    qputenv("HOME", QFile::encodeName(home));
}

CORAL_TEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_single_instance.moc"
