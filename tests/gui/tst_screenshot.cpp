#include <QClipboard>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPointer>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QtTest>

#include "tests/support/TestMain.h"

#include "screenshot/OEAmplifier.h"
#include "screenshot/OERect.h"
#include "screenshot/OEScreen.h"
#include "screenshot/OEScreenshot.h"
#include "screenshot/ScreenImage.h"
#include "screenshot/SelectionGeometry.h"
#include "screenshot/ShotScale.h"

// The overlay over a picture of known colours, and its window detection against a real X server:
// for that the program runs itself again on a private Xvfb, where the overlay is a real window
// above the windows it must find.
class TestScreenshot : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void scaleFollowsDesktopHeight();
    void magnifierEmptyWhereItsAreaLeavesTheScreen();
    void dragSelectsAndSendCopiesTheSelection();
    void sidesAndCornersResizeAndFlip();
    void movingStaysOnTheScreen();
    void rightClicksAndEscapeEndWithoutCapture();
    void unreadableScreenIsSaidNotCovered();
    void clickSelectsTheOutlinedWindow();

private:
    OEScreenshot* Open();
    void RunOnXvfb(const char* function);
    void CheckOnX();
    OEScreen* Selection() const { return overlay_ ? overlay_->findChild<OEScreen*>() : nullptr; }

    QPixmap screen_;
    QPointer<OEScreenshot> overlay_;
};

namespace {

// Four quadrants of distinct colours, so every copied pixel tells where it came from.
QPixmap QuadrantScreen(const QSize& size) {
    QPixmap pixmap(size);
    QPainter painter(&pixmap);
    const int w = size.width() / 2;
    const int h = size.height() / 2;
    painter.fillRect(0, 0, w, h, QColor(200, 30, 30));
    painter.fillRect(w, 0, size.width() - w, h, QColor(30, 200, 30));
    painter.fillRect(0, h, w, size.height() - h, QColor(30, 30, 200));
    painter.fillRect(w, h, size.width() - w, size.height() - h, QColor(220, 220, 40));
    return pixmap;
}

bool IsRed(const QColor& c) {
    return c.red() > 150 && c.green() < 80 && c.blue() < 80;
}

void Send(QWidget* widget, QEvent::Type type, const QPoint& pos,
          Qt::MouseButton button = Qt::NoButton, Qt::MouseButtons held = Qt::NoButton) {
    QMouseEvent event(type, pos, widget->mapToGlobal(pos), button, held, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

// A left-button drag as the window system delivers it: every event to the pressed widget.
void Drag(QWidget* widget, const QPoint& from, const QPoint& to) {
    Send(widget, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    Send(widget, QEvent::MouseMove, (from + to) / 2, Qt::NoButton, Qt::LeftButton);
    Send(widget, QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
    Send(widget, QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
}

void Click(QWidget* widget, const QPoint& pos, Qt::MouseButton button) {
    Send(widget, QEvent::MouseButtonPress, pos, button, button);
    Send(widget, QEvent::MouseButtonRelease, pos, button);
}

const char kOnXvfb[] = "CORAL_TEST_ON_XVFB";
const QColor kOuterColour(30, 140, 60);
const QColor kInnerColour(220, 120, 20);

void Paint(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colour);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

QRect LastFound(const QSignalSpy& spy) {
    return spy.isEmpty() ? QRect() : spy.last().at(0).toRect();
}

}  // namespace

void TestScreenshot::init() {
    screen_ = QuadrantScreen(QGuiApplication::primaryScreen()->geometry().size());
}

void TestScreenshot::cleanup() {
    delete overlay_;
}

OEScreenshot* TestScreenshot::Open() {
    overlay_ = new OEScreenshot(screen_);
    if (!QTest::qWaitForWindowExposed(overlay_))
        return nullptr;
    return overlay_;
}

void TestScreenshot::scaleFollowsDesktopHeight() {
    QCOMPARE(ShotScale::ForHeight(1080), 1.0f);
    QVERIFY(qAbs(ShotScale::ForHeight(1440) - 1.3333f) < 0.001f);
    QCOMPARE(ShotScale::ForHeight(2160), 2.0f);
}

void TestScreenshot::magnifierEmptyWhereItsAreaLeavesTheScreen() {
    QPixmap red(200, 150);
    red.fill(QColor(220, 0, 0));
    QWidget parent;
    parent.resize(red.size());
    auto* amplifier = new OEAmplifier(std::make_shared<ScreenImage>(red), &parent);
    const auto magnified = [amplifier](int x, int y) {
        amplifier->onPostionChange(x, y);
        QImage image(amplifier->size(), QImage::Format_ARGB32);
        image.fill(Qt::white);
        amplifier->render(&image);
        return IsRed(image.pixelColor(12, 12));
    };
    // The area runs from 15 pixels left of the cursor and 11 above to 14 right and 10 below.
    QVERIFY(magnified(15, 11));
    QVERIFY(!magnified(14, 80));
    QVERIFY(!magnified(100, 10));
    QVERIFY(magnified(185, 139));
    QVERIFY(!magnified(186, 80));
    QVERIFY(!magnified(100, 140));
}

void TestScreenshot::dragSelectsAndSendCopiesTheSelection() {
    QVERIFY(Open());
    QSignalSpy ready(overlay_.data(), &OEScreenshot::screen_ready);
    // Across the middle, so the capture holds all four colours.
    const QPoint centre = overlay_->rect().center();
    Drag(overlay_, centre - QPoint(100, 60), centre + QPoint(49, 29));
    OEScreen* selection = Selection();
    QVERIFY(selection);
    QCOMPARE(selection->geometry(), QRect(centre - QPoint(100, 60), QSize(150, 90)));
    QCOMPARE(overlay_->findChild<OERect*>()->Text(), QStringLiteral("150 x 90"));
    QVERIFY(!overlay_->findChild<OEAmplifier*>()->isVisible());

    QMenu* menu = selection->findChild<QMenu*>();
    QVERIFY(menu);
    menu->actions().at(0)->trigger();
    QCOMPARE(ready.count(), 1);
    const QImage copied = QGuiApplication::clipboard()->image();
    QCOMPARE(copied.size(), QSize(150, 90));
    const QImage source = screen_.toImage();
    const QPoint origin = centre - QPoint(100, 60);
    for (const QPoint& p : {QPoint(0, 0), QPoint(149, 0), QPoint(0, 89), QPoint(149, 89)})
        QCOMPARE(copied.pixelColor(p), source.pixelColor(origin + p));
    QTRY_VERIFY(overlay_.isNull());
}

void TestScreenshot::sidesAndCornersResizeAndFlip() {
    using G = SelectionGeometry;
    const QRect start(QPoint(100, 100), QPoint(300, 250));
    QCOMPARE(G::RegionAt(start.size(), QPoint(1, 1), 6), G::kTopLeft);
    QCOMPARE(G::RegionAt(start.size(), QPoint(196, 70), 6), G::kRight);
    QCOMPARE(G::RegionAt(start.size(), QPoint(100, 70), 6), G::kInside);
    // A side keeps the other dimension; past the opposite side the rectangle flips.
    QCOMPARE(G::Resized(start, G::kRight, QPoint(350, 10)),
             QRect(QPoint(100, 100), QPoint(350, 250)));
    QCOMPARE(G::Resized(start, G::kTop, QPoint(0, 280)), QRect(QPoint(100, 250), QPoint(300, 280)));
    QCOMPARE(G::Resized(start, G::kTopLeft, QPoint(320, 260)),
             QRect(QPoint(300, 250), QPoint(320, 260)));

    // The same through the widget: the right side dragged past the left one.
    QVERIFY(Open());
    Drag(overlay_, start.topLeft(), start.bottomRight());
    OEScreen* selection = Selection();
    QCOMPARE(selection->geometry(), start);
    const QPoint right_side(selection->width() - 2, selection->height() / 2);
    Send(selection, QEvent::MouseMove, right_side);
    QCOMPARE(selection->cursor().shape(), Qt::SizeHorCursor);
    Drag(selection, right_side, right_side - QPoint(259, 40));
    QCOMPARE(selection->geometry(), QRect(QPoint(40, 100), QPoint(100, 250)));
    QCOMPARE(overlay_->findChild<OERect*>()->Text(), QStringLiteral("61 x 151"));
}

void TestScreenshot::movingStaysOnTheScreen() {
    QVERIFY(Open());
    Drag(overlay_, QPoint(100, 100), QPoint(199, 149));
    OEScreen* selection = Selection();
    QCOMPARE(selection->size(), QSize(100, 50));
    Drag(selection, QPoint(50, 25), QPoint(-500, 25));
    QCOMPARE(selection->geometry(), QRect(0, 100, 100, 50));
    const QPoint inside(50, 25);
    Drag(selection, inside, inside + QPoint(5000, 5000));
    QCOMPARE(selection->geometry().bottomRight(), overlay_->rect().bottomRight());
}

void TestScreenshot::rightClicksAndEscapeEndWithoutCapture() {
    QVERIFY(Open());
    QSignalSpy ready(overlay_.data(), &OEScreenshot::screen_ready);
    // Nothing outlined under a plain click: no selection.
    QTest::mouseClick(overlay_, Qt::LeftButton, Qt::NoModifier, QPoint(300, 300));
    QVERIFY(!Selection());
    Drag(overlay_, QPoint(100, 100), QPoint(200, 200));
    QVERIFY(Selection());
    // Inside the selection a right click is the selection's own (its menu), not a drop.
    Send(Selection(), QEvent::MouseButtonRelease, QPoint(50, 50), Qt::RightButton, Qt::NoButton);
    QVERIFY(Selection());

    QTest::mouseClick(overlay_, Qt::RightButton, Qt::NoModifier, QPoint(400, 400));
    QVERIFY(!Selection());
    QVERIFY(!overlay_->findChild<OERect*>()->isVisible());
    QVERIFY(overlay_->findChild<OEAmplifier*>()->isVisible());
    QTest::mouseClick(overlay_, Qt::RightButton, Qt::NoModifier, QPoint(400, 400));
    QTRY_VERIFY(overlay_.isNull());
    QCOMPARE(ready.count(), 0);

    // Escape before any selection ends it as well.
    QVERIFY(Open());
    QSignalSpy escaped(overlay_.data(), &OEScreenshot::screen_ready);
    QTest::keyClick(overlay_, Qt::Key_Escape);
    QTRY_VERIFY(overlay_.isNull());
    QCOMPARE(escaped.count(), 0);
}

void TestScreenshot::unreadableScreenIsSaidNotCovered() {
    QPointer<OEScreenshot> overlay = new OEScreenshot(QPixmap());
    QVERIFY(!overlay->isVisible());
    QTRY_VERIFY(overlay.isNull());
    QMessageBox* box = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* b = qobject_cast<QMessageBox*>(w); b && b->isVisible())
            box = b;
    }
    QVERIFY(box);
    QVERIFY(!box->text().isEmpty());
    box->close();
}

void TestScreenshot::clickSelectsTheOutlinedWindow() {
    if (qEnvironmentVariableIsSet(kOnXvfb))
        CheckOnX();
    else
        RunOnXvfb("clickSelectsTheOutlinedWindow");
}

void TestScreenshot::RunOnXvfb(const char* function) {
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

void TestScreenshot::CheckOnX() {
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

CORAL_TEST_MAIN(TestScreenshot)
#include "tst_screenshot.moc"
