#include <QtTest>

#include "sim/store/SimDb.h"
#include "tests/support/TestMain.h"

// platform-sim keeps its statements prepared: one still in use is never handed out twice, and one
// handed back starts again with no bindings left over.
class TestSimDb : public QObject {
    Q_OBJECT
private slots:
    void keptStatementsStartAfresh();
};

void TestSimDb::keptStatementsStartAfresh() {
    SimDb db;
    QVERIFY(db.Open(std::string(), nullptr));
    for (int i = 1; i <= 3; ++i)
        QVERIFY(db.Prepare("INSERT INTO meta (key, value) VALUES (:key, 'v')")
                    .Bind(":key", "k" + std::to_string(i))
                    .Run());
    const std::string sql = "SELECT key FROM meta WHERE key >= :from ORDER BY key";
    // The same text nested inside itself, as a store calling a store does.
    SimStatement outer = db.Prepare(sql);
    outer.Bind(":from", "k1");
    QStringList pairs;
    while (outer.Next()) {
        SimStatement inner = db.Prepare(sql);
        inner.Bind(":from", outer.Text(0));
        QVERIFY(inner.Next());
        pairs << QString::fromStdString(outer.Text(0) + "=" + inner.Text(0));
    }
    QCOMPARE(pairs, QStringList({"k1=k1", "k2=k2", "k3=k3"}));
    // Taken again after a half-read use: from the first row, and an unbound name matches nothing.
    SimStatement again = db.Prepare(sql);
    QVERIFY(!again.Next());
}

CORAL_TEST_GUILESS_MAIN(TestSimDb)
#include "tst_simdb.moc"
