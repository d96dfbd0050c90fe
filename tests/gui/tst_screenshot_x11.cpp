#include <QPointer>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QtTest>

#include "tests/support/TestMain.h"

#include "screenshot/OEScreen.h"
#include "screenshot/OEScreenshot.h"

// Window detection against a real X server: the program runs itself again on a private Xvfb,
// where the overlay is a real window above the windows it must find.
class TestScreenshotX11 : public QObject {
    Q_OBJECT
private slots:
    void clickSelectsTheOutlinedWindow();

private:
    void RunOnXvfb(const char* function);
    void CheckOnX();
};

namespace {

const char kOnXvfb[] = "CORAL_TEST_ON_XVFB";
const QColor kOuterColour(30, 140, 60);
const QColor kInnerColour(220, 120, 20);

void Paint(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colour);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

void Send(QWidget* widget, QEvent::Type type, const QPoint& pos, Qt::MouseButton button) {
    const Qt::MouseButtons held = type == QEvent::MouseButtonPress ? button : Qt::NoButton;
    QMouseEvent event(type, pos, widget->mapToGlobal(pos), button, held, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

void Click(QWidget* widget, const QPoint& pos, Qt::MouseButton button) {
    Send(widget, QEvent::MouseButtonPress, pos, button);
    Send(widget, QEvent::MouseButtonRelease, pos, button);
}

QRect LastFound(const QSignalSpy& spy) {
    return spy.isEmpty() ? QRect() : spy.last().at(0).toRect();
}

}  // namespace

void TestScreenshotX11::clickSelectsTheOutlinedWindow() {
    if (qEnvironmentVariableIsSet(kOnXvfb))
        CheckOnX();
    else
        RunOnXvfb("clickSelectsTheOutlinedWindow");
}

void TestScreenshotX11::RunOnXvfb(const char* function) {
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    if (xvfb.isEmpty())
        QSKIP("Xvfb is not installed (Debian package xvfb); window detection needs an X server");
    QProcess server;
    // -displayfd 1: the server picks a free display and prints its number.
    server.start(xvfb, {"-displayfd", "1", "-screen", "0", "800x600x24", "-nolisten", "tcp"});
    QVERIFY2(server.waitForStarted(), "Xvfb did not start");
    QTRY_VERIFY_WITH_TIMEOUT(server.canReadLine() || server.state() != QProcess::Running, 20000);
    const QByteArray display = server.readLine().trimmed();
    if (display.isEmpty())
        QSKIP("Xvfb is installed but could not start a server here");

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), QStringLiteral(":") + QString::fromLatin1(display));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QString::fromLatin1(kOnXvfb), QStringLiteral("1"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("XDG_SESSION_TYPE"));
    QProcess child;
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(function)});
    const bool ended = child.waitForFinished(120000);
    const QByteArray output = child.readAll();
    server.terminate();
    server.waitForFinished();
    QVERIFY2(ended && child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0,
             output.constData());
}

void TestScreenshotX11::CheckOnX() {
    QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
    // A bare window of known geometry, with a native child window inside it.
    QWidget target;
    target.setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint);
    Paint(&target, kOuterColour);
    target.setGeometry(120, 90, 300, 200);
    auto* inner = new QWidget(&target);
    inner->setAttribute(Qt::WA_NativeWindow);
    Paint(inner, kInnerColour);
    inner->setGeometry(20, 30, 80, 60);
    target.show();
    QVERIFY(QTest::qWaitForWindowExposed(&target));
    // Drawn on the server before the overlay grabs the screen.
    QScreen* screen = QGuiApplication::primaryScreen();
    QTRY_COMPARE(screen->grabWindow(0).toImage().pixelColor(150, 130), kInnerColour);

    QPointer<OEScreenshot> overlay = new OEScreenshot;
    QVERIFY(QTest::qWaitForWindowExposed(overlay));
    QCOMPARE(overlay->geometry(), QRect(0, 0, 800, 600));
    QSignalSpy found(overlay.data(), &OEScreenshot::findChildWind);

    // Over the outer window, beside the inner one: the overlay on top is skipped.
    Send(overlay, QEvent::MouseMove, QPoint(350, 250), Qt::NoButton);
    QCOMPARE(LastFound(found), QRect(120, 90, 300, 200));
    Click(overlay, QPoint(350, 250), Qt::LeftButton);
    OEScreen* selection = overlay->findChild<OEScreen*>();
    QVERIFY(selection);
    QCOMPARE(selection->geometry(), QRect(120, 90, 300, 200));
    QCOMPARE(selection->Captured().toImage().pixelColor(200, 150), kOuterColour);

    // Back to detecting; over the inner window the deepest window is outlined.
    Click(overlay, QPoint(700, 500), Qt::RightButton);
    QVERIFY(!overlay->findChild<OEScreen*>());
    Send(overlay, QEvent::MouseMove, QPoint(150, 130), Qt::NoButton);
    QCOMPARE(LastFound(found), QRect(140, 120, 80, 60));
    Click(overlay, QPoint(150, 130), Qt::LeftButton);
    selection = overlay->findChild<OEScreen*>();
    QVERIFY(selection);
    QCOMPARE(selection->geometry(), QRect(140, 120, 80, 60));

    // Over the bare desktop the whole screen is the window.
    Click(overlay, QPoint(700, 500), Qt::RightButton);
    Send(overlay, QEvent::MouseMove, QPoint(700, 500), Qt::NoButton);
    QCOMPARE(LastFound(found), QRect(0, 0, 800, 600));

    QTest::keyClick(overlay, Qt::Key_Escape);
    QTRY_VERIFY(overlay.isNull());
}

CORAL_TEST_MAIN(TestScreenshotX11)
#include "tst_screenshot_x11.moc"
