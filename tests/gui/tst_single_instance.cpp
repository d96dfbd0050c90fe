#include <QProcess>
#include <QtTest>

#include "platform/SingleInstance.h"
#include "tests/support/TestHome.h"

namespace {

const char kHoldLock[] = "--hold-lock";

// The program's own start in a second process: claims the name of the user whose home is
// given, says so, reports each later start that wakes it, and runs until it is killed.
int HoldLock(int argc, char** argv) {
    const QString home = QFile::decodeName(argv[2]);
    TestHome::Guard(home);
    qputenv("HOME", argv[2]);
    QCoreApplication app(argc, argv);
    SingleInstance instance;
    if (!instance.Claim())
        return 2;
    QObject::connect(&instance, &SingleInstance::activate_requested, [] {
        std::puts("woken");
        std::fflush(stdout);
    });
    std::puts("claimed");
    std::fflush(stdout);
    return app.exec();
}

}  // namespace

class TestSingleInstance : public QObject {
    Q_OBJECT
private slots:
    void copiesOfOneUserMeetAcrossProcesses();
};

void TestSingleInstance::copiesOfOneUserMeetAcrossProcesses() {
    QProcess holder;
    holder.start(QCoreApplication::applicationFilePath(), {kHoldLock, QDir::homePath()});
    QVERIFY(holder.waitForReadyRead(20000));
    QCOMPARE(holder.readLine().trimmed(), QByteArray("claimed"));
    SingleInstance same_user;
    QVERIFY(!same_user.Claim());
    QVERIFY(holder.waitForReadyRead(20000));
    QCOMPARE(holder.readLine().trimmed(), QByteArray("woken"));

    // Another desktop user is not held up by it.
    const QByteArray home = qgetenv("HOME");
    qputenv("HOME", home + "-other");
    SingleInstance other_user;
    const bool claimed = other_user.Claim();
    qputenv("HOME", home);
    QVERIFY(claimed);

    // The lock of a killed copy does not stop the next start, which also listens where the
    // killed copy did.
    holder.kill();
    QVERIFY(holder.waitForFinished(20000));
    auto next = std::make_unique<SingleInstance>();
    QVERIFY(next->Claim());
    QSignalSpy woken(next.get(), &SingleInstance::activate_requested);
    SingleInstance later;
    QVERIFY(!later.Claim());
    QVERIFY(woken.wait());
    QCOMPARE(woken.size(), 1);

    // Once it has ended, the next start runs.
    next.reset();
    SingleInstance last;
    QVERIFY(last.Claim());
}

int main(int argc, char** argv) {
    if (argc > 2 && qstrcmp(argv[1], kHoldLock) == 0)
        return HoldLock(argc, argv);
    TestHome home;
    QCoreApplication app(argc, argv);
    TestSingleInstance test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_single_instance.moc"
