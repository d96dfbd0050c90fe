// Video thumbnails from a real short clip: made with the tool's documented command line, judged
// by the PNG, taken from the tools folder beside the program first.

#include <QtTest>

#include "base/AppInfo.h"
#include "engine/VideoThumbnail.h"
#include "tests/support/TestMain.h"

class TestVideoThumbnail : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        clip_ = dir_.filePath("100% 课堂.mp4");
        if (QProcess::execute("ffmpeg", {"-loglevel", "quiet", "-f", "lavfi", "-i",
                                         "testsrc=duration=1:size=96x64:rate=10", "-pix_fmt",
                                         "yuv420p", clip_}) != 0)
            QSKIP("no ffmpeg to make a test video (./test installs it)");
    }
    void init() { AppInfo::SetAppPath(QString()); }
    void cleanup() { AppInfo::SetAppPath(QString()); }

    void frameOfARealVideo();
    void nothingFromWhatIsNoVideo();
    void toolsFolderComesFirst();

private:
    QTemporaryDir dir_;
    QString clip_;
};

void TestVideoThumbnail::frameOfARealVideo() {
    const QString png = dir_.filePath("out %d/frame.png");
    QVERIFY(QDir().mkpath(QFileInfo(png).absolutePath()));
    QVERIFY(VideoThumbnail::Make(clip_, png));
    const QImage frame(png);
    QCOMPARE(frame.size(), QSize(96, 64));
    QVERIFY(VideoThumbnail::IsPng(png));
    // Nothing left beside it.
    QCOMPARE(QDir(QFileInfo(png).absolutePath()).entryList(QDir::Files | QDir::Hidden),
             QStringList{"frame.png"});

    // A broken thumbnail left by an interrupted run is made again.
    const QString thumbnail = VideoThumbnail::PathFor(clip_);
    QVERIFY(thumbnail.endsWith("/100% 课堂_thumbnail.png"));
    QFile broken(thumbnail);
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.write("\x89PNG\r\n\x1a\n half");
    broken.close();
    QVERIFY(VideoThumbnail::Ensure(clip_));
    QCOMPARE(QImage(thumbnail).size(), QSize(96, 64));
}

void TestVideoThumbnail::nothingFromWhatIsNoVideo() {
    const QString text = dir_.filePath("not a video.mp4");
    QFile file(text);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("just text");
    file.close();
    QVERIFY(!VideoThumbnail::Make(text, dir_.filePath("none.png")));
    QVERIFY(!VideoThumbnail::Make(dir_.filePath("missing.mp4"), dir_.filePath("none.png")));
    QVERIFY(!QFile::exists(dir_.filePath("none.png")));
}

void TestVideoThumbnail::toolsFolderComesFirst() {
    QTemporaryDir app;
    const QString tools = app.filePath("tools");
    QVERIFY(QDir().mkpath(tools));
    QFile wrapper(tools + "/ffmpeg");
    QVERIFY(wrapper.open(QIODevice::WriteOnly));
    wrapper.write("#!/bin/sh\necho used > \"$(dirname \"$0\")/used\"\nexec ffmpeg \"$@\"\n");
    wrapper.close();
    QVERIFY(wrapper.setPermissions(wrapper.permissions() | QFile::ExeOwner));
    AppInfo::SetAppPath(app.path() + "/");
    QCOMPARE(VideoThumbnail::Program(), tools + "/ffmpeg");
    QVERIFY(VideoThumbnail::Make(clip_, dir_.filePath("by the bundled tool.png")));
    QVERIFY(QFile::exists(tools + "/used"));

    QVERIFY(wrapper.remove());
    QCOMPARE(VideoThumbnail::Program(), QString("ffmpeg"));
}

CORAL_TEST_GUILESS_MAIN(TestVideoThumbnail)
#include "tst_videothumbnail.moc"
