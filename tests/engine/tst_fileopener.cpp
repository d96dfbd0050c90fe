// Opening a file with the desktop: documents go to their application, anything that could run
// only has its folder opened.

#include <QtTest>

#include "platform/FileOpener.h"
#include "tests/support/TestMain.h"

namespace {

bool Write(const QString& path, const QByteArray& data) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

}  // namespace

class TestFileOpener : public QObject {
    Q_OBJECT
private slots:
    void init() {
        opened_.clear();
        accept_ = true;
        FileOpener::SetUrlHandler([this](const QUrl& url) {
            opened_.append(url);
            return accept_;
        });
    }
    void cleanup() { FileOpener::SetUrlHandler(nullptr); }

    void documentsOpenWithTheirApplication();
    void programsOnlyShowTheirFolder();
    void missingOrRefusedFilesAreReported();

private:
    QList<QUrl> opened_;
    bool accept_ = true;
};

void TestFileOpener::documentsOpenWithTheirApplication() {
    QTemporaryDir dir;
    for (const QString& name : {"教案 #1.pdf", "read me.txt", "照片.PNG", "no suffix"}) {
        const QString path = dir.filePath(name);
        QVERIFY(Write(path, "plain text, nothing to run"));
        QCOMPARE(FileOpener::Open(path), FileOpener::Result::kOpened);
        QCOMPARE(opened_.takeLast(), QUrl::fromLocalFile(path));
    }
}

void TestFileOpener::programsOnlyShowTheirFolder() {
    QTemporaryDir dir;
    const QString folder = QUrl::fromLocalFile(dir.path()).toString();
    QStringList runnable;
    for (const QString& name : {"install.sh", "SETUP.EXE", "start.bat", "app.desktop", "tool.jar",
                                "Player.AppImage", "RUN.Sh", "x.cmd", "y.vbs"}) {
        QVERIFY(Write(dir.filePath(name), "data"));
        runnable.append(dir.filePath(name));
    }
    // Named like a document, but a program or script all the same.
    QVERIFY(Write(dir.filePath("marks.pdf"), "#!/bin/sh\nrm -rf ~\n"));
    QVERIFY(Write(dir.filePath("notes.txt"), QByteArray("\x7f"
                                                        "ELF\x02\x01\x01",
                                                        7)));
    QVERIFY(Write(dir.filePath("flagged.txt"), "text"));
    QVERIFY(QFile::setPermissions(dir.filePath("flagged.txt"),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    QVERIFY(QFile::link(dir.filePath("install.sh"), dir.filePath("shortcut.txt")));
    runnable << dir.filePath("marks.pdf") << dir.filePath("notes.txt")
             << dir.filePath("flagged.txt") << dir.filePath("shortcut.txt");
    for (const QString& path : runnable) {
        QVERIFY2(FileOpener::MayRun(path), qPrintable(path));
        QCOMPARE(FileOpener::Open(path), FileOpener::Result::kFolderOpened);
        QCOMPARE(opened_.takeLast().toString(), folder);
    }
    QVERIFY(opened_.isEmpty());
}

void TestFileOpener::missingOrRefusedFilesAreReported() {
    QTemporaryDir dir;
    QCOMPARE(FileOpener::Open(dir.filePath("gone.pdf")), FileOpener::Result::kMissing);
    QCOMPARE(FileOpener::Open(QString()), FileOpener::Result::kMissing);
    QVERIFY(opened_.isEmpty());
    accept_ = false;
    QVERIFY(Write(dir.filePath("a.pdf"), "%PDF"));
    QCOMPARE(FileOpener::Open(dir.filePath("a.pdf")), FileOpener::Result::kRefused);
}

CORAL_TEST_GUILESS_MAIN(TestFileOpener)
#include "tst_fileopener.moc"
