#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMap>
#include <QRegularExpression>
#include <QSet>
#include <QtTest>

#include "tests/support/TestMain.h"

// The folders of the source tree include each other one way only: app → the window folders →
// widgets → base. A wrong include compiles fine (every target sees the whole tree), so the
// direction is checked here, on the sources themselves.

namespace {

using Graph = QMap<QString, QSet<QString>>;

const QStringList kWindowFolders = {"login", "chat", "schedule", "screenshot"};

QString SourceDir() {
    return QStringLiteral(CORAL_SOURCE_DIR);
}

// The folders each folder may include besides itself; a folder missing here may include any.
QMap<QString, QSet<QString>> AllowedIncludes() {
    QMap<QString, QSet<QString>> allowed;
    allowed["base"] = {};
    allowed["platform"] = {"base"};
    allowed["engine"] = {"base", "platform"};
    allowed["widgets"] = {"base"};
    allowed["sim"] = {"base"};
    QSet<QString> window = {"base", "engine", "platform", "widgets"};
    for (const QString& folder : kWindowFolders)
        window.insert(folder);
    for (const QString& folder : kWindowFolders)
        allowed[folder] = window;
    return allowed;
}

// Folder → folders its sources include by a "folder/..." path.
Graph IncludeGraph(const QStringList& folders) {
    static const QRegularExpression include(QStringLiteral("^\\s*#\\s*include\\s*\"([a-z]+)/"),
                                            QRegularExpression::MultilineOption);
    Graph graph;
    for (const QString& folder : folders) {
        QDirIterator it(SourceDir() + QLatin1Char('/') + folder, {"*.h", "*.cpp"}, QDir::Files,
                        QDirIterator::Subdirectories);
        graph[folder];
        while (it.hasNext()) {
            QFile file(it.next());
            if (!file.open(QIODevice::ReadOnly))
                continue;
            auto matches = include.globalMatch(QString::fromUtf8(file.readAll()));
            while (matches.hasNext()) {
                const QString target = matches.next().captured(1);
                if (target != folder && target != QLatin1String("tests"))
                    graph[folder].insert(target);
            }
        }
    }
    return graph;
}

// The folders of a cycle through `node`, or empty when none is reachable from it.
QStringList FindCycle(const Graph& graph, const QString& node, QStringList* path,
                      QSet<QString>* done) {
    if (path->contains(node))
        return path->mid(path->indexOf(node)) << node;
    if (done->contains(node))
        return {};
    path->append(node);
    for (const QString& next : graph.value(node)) {
        const QStringList cycle = FindCycle(graph, next, path, done);
        if (!cycle.isEmpty())
            return cycle;
    }
    path->removeLast();
    done->insert(node);
    return {};
}

QStringList SourceFolders() {
    QStringList folders;
    const QStringList entries = QDir(SourceDir()).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        if (!entry.startsWith(QLatin1String("build")) && entry != QLatin1String("shots"))
            folders << entry;
    }
    return folders;
}

}  // namespace

class TestLayout : public QObject {
    Q_OBJECT
private slots:
    void includesRunOneWay();
    void foldersIncludeNoCircle();
};

void TestLayout::includesRunOneWay() {
    const QMap<QString, QSet<QString>> allowed = AllowedIncludes();
    const Graph graph = IncludeGraph(SourceFolders());
    QVERIFY(graph.contains("base") && graph.contains("app"));
    QStringList wrong;
    for (auto it = graph.cbegin(); it != graph.cend(); ++it) {
        if (!allowed.contains(it.key()))
            continue;
        for (const QString& target : it.value()) {
            if (!allowed[it.key()].contains(target))
                wrong << it.key() + " → " + target;
        }
    }
    wrong.sort();
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(", ")));
}

void TestLayout::foldersIncludeNoCircle() {
    QStringList folders = SourceFolders();
    folders.removeAll("tests");
    folders.removeAll("bench");
    const Graph graph = IncludeGraph(folders);
    QStringList path;
    QSet<QString> done;
    for (const QString& folder : graph.keys()) {
        const QStringList cycle = FindCycle(graph, folder, &path, &done);
        QVERIFY2(cycle.isEmpty(), qPrintable(cycle.join(" → ")));
    }
}

CORAL_TEST_GUILESS_MAIN(TestLayout)

#include "tst_layout.moc"
