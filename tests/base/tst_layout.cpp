#include <QtTest>

#include "tests/support/TestMain.h"

// The folders of the source tree include each other one way only: app → the window folders →
// widgets → base. A wrong include compiles fine (every target sees the whole tree), so the
// direction is checked here, on the sources themselves.

class TestLayout : public QObject {
    Q_OBJECT
private slots:
    void includesRunOneWay();
};

void TestLayout::includesRunOneWay() {
    // The folders each folder may include besides itself; the others may include any.
    const QStringList windows = {"login", "chat", "schedule", "screenshot"};
    QMap<QString, QSet<QString>> allowed = {{"base", {}},
                                            {"platform", {"base"}},
                                            {"engine", {"base", "platform"}},
                                            {"widgets", {"base"}},
                                            {"sim", {"base"}}};
    for (const QString& folder : windows)
        allowed[folder] = QSet<QString>{"base", "engine", "platform", "widgets"} +
                          QSet<QString>(windows.begin(), windows.end());

    static const QRegularExpression include(QStringLiteral("^\\s*#\\s*include\\s*\"([a-z]+)/"),
                                            QRegularExpression::MultilineOption);
    QStringList wrong;
    QMap<QString, QSet<QString>> between_windows;
    int sources = 0;
    for (auto it = allowed.cbegin(); it != allowed.cend(); ++it) {
        QDirIterator files(QStringLiteral(CORAL_SOURCE_DIR "/") + it.key(), {"*.h", "*.cpp"},
                           QDir::Files, QDirIterator::Subdirectories);
        while (files.hasNext()) {
            QFile file(files.next());
            QVERIFY(file.open(QIODevice::ReadOnly));
            ++sources;
            auto matches = include.globalMatch(QString::fromUtf8(file.readAll()));
            while (matches.hasNext()) {
                const QString target = matches.next().captured(1);
                if (target != it.key() && target != "tests" && !it.value().contains(target))
                    wrong << file.fileName() + " → " + target;
                if (target != it.key() && windows.contains(target))
                    between_windows[it.key()] << target;
            }
        }
    }
    QVERIFY(sources > 100);
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(", ")));

    // The window folders include each other without a circle: folders that include none of
    // those left are taken away until none is, or a circle stays.
    for (int left = -1; left != between_windows.size();) {
        left = between_windows.size();
        const QStringList folders = between_windows.keys();
        for (const QString& folder : folders) {
            if (!between_windows[folder].intersects(QSet<QString>(folders.begin(), folders.end())))
                between_windows.remove(folder);
        }
    }
    QVERIFY2(between_windows.isEmpty(), qPrintable(between_windows.keys().join(", ")));
}

CORAL_TEST_GUILESS_MAIN(TestLayout)

#include "tst_layout.moc"
