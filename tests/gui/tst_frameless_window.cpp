#include <QClipboard>
#include <QFrame>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPointer>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include "screenshot/OEAmplifier.h"
#include "screenshot/OERect.h"
#include "screenshot/OEScreen.h"
#include "screenshot/OEScreenshot.h"
#include "screenshot/SelectionGeometry.h"
#include "tests/support/TestMain.h"
#include "widgets/FrameShadow.h"
#include "widgets/RoundAvatar.h"
#include "widgets/WindowDragger.h"
#include "widgets/WindowStyle.h"

// The frameless windows' shadow, avatars and dragging, and the screenshot overlay over a picture
// of known colours. Window detection needs a real X server: that case reruns the program on Xvfb.
class TestFramelessWindow : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void pictureSurroundsTheOutlineOnly();
    void windowDrawsTheShadowBesideItsFrame();
    void dragsWithTheLeftButtonUnlessMaximised();
    void avatarsAreRoundAndFoundByName();
    void dragSelectsAndSendCopiesTheSelection();
    void selectionResizesMovesAndRightClicksEndIt();
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

constexpr int kBlur = 10;

int Alpha(const QImage& image, int x, int y) {
    return qAlpha(image.pixel(x, y));
}

// A drag of the window itself, reported in its coordinates before it moves.
void DragWindow(QWidget* window, Qt::MouseButton button, const QPoint& from, const QPoint& to) {
    QTest::mousePress(window, button, Qt::NoModifier, from);
    QMouseEvent move(QEvent::MouseMove, to, window->mapToGlobal(to), button, button,
                     Qt::NoModifier);
    QApplication::sendEvent(window, &move);
    QTest::mouseRelease(window, button, Qt::NoModifier, to);
}

// Three bands side by side: red, green, blue; the middle band is a square.
QImage Bands() {
    QImage image(90, 30, QImage::Format_ARGB32);
    QPainter painter(&image);
    painter.fillRect(0, 0, 30, 30, Qt::red);
    painter.fillRect(30, 0, 30, 30, QColor(0, 255, 0));
    painter.fillRect(60, 0, 30, 30, Qt::blue);
    painter.end();
    return image;
}

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

void TestFramelessWindow::init() {
    screen_ = QuadrantScreen(QGuiApplication::primaryScreen()->geometry().size());
}

void TestFramelessWindow::cleanup() {
    delete overlay_;
}

OEScreenshot* TestFramelessWindow::Open() {
    overlay_ = new OEScreenshot(screen_);
    return QTest::qWaitForWindowExposed(overlay_) ? overlay_.data() : nullptr;
}

void TestFramelessWindow::dragSelectsAndSendCopiesTheSelection() {
    QVERIFY(Open());
    QSignalSpy ready(overlay_.data(), &OEScreenshot::screen_ready);
    // Across the middle, so the capture holds all four colours.
    const QPoint centre = overlay_->rect().center();
    Drag(overlay_, centre - QPoint(100, 60), centre + QPoint(49, 29));
    OEScreen* selection = Selection();
    QVERIFY(selection);
    QCOMPARE(selection->geometry(), QRect(centre - QPoint(100, 60), QSize(150, 90)));
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

void TestFramelessWindow::selectionResizesMovesAndRightClicksEndIt() {
    using G = SelectionGeometry;
    const QRect start(QPoint(100, 100), QPoint(300, 250));
    QCOMPARE(G::RegionAt(start.size(), QPoint(1, 1), 6), G::kTopLeft);
    // A side keeps the other dimension; past the opposite side the rectangle flips.
    QCOMPARE(G::Resized(start, G::kTop, QPoint(0, 280)), QRect(QPoint(100, 250), QPoint(300, 280)));
    QCOMPARE(G::Resized(start, G::kTopLeft, QPoint(320, 260)),
             QRect(QPoint(300, 250), QPoint(320, 260)));

    // The same through the widget: the right side dragged past the left one, and up.
    QVERIFY(Open());
    QSignalSpy ready(overlay_.data(), &OEScreenshot::screen_ready);
    // Nothing outlined under a plain click: no selection.
    QTest::mouseClick(overlay_, Qt::LeftButton, Qt::NoModifier, QPoint(300, 300));
    QVERIFY(!Selection());
    Drag(overlay_, start.topLeft(), start.bottomRight());
    OEScreen* selection = Selection();
    QCOMPARE(selection->geometry(), start);
    const QPoint right_side(selection->width() - 2, selection->height() / 2);
    Send(selection, QEvent::MouseMove, right_side);
    QCOMPARE(selection->cursor().shape(), Qt::SizeHorCursor);
    Drag(selection, right_side, right_side - QPoint(259, 40));
    QCOMPARE(selection->geometry(), QRect(QPoint(40, 100), QPoint(100, 250)));
    QCOMPARE(overlay_->findChild<OERect*>()->Text(), QStringLiteral("61 x 151"));

    Drag(selection, QPoint(30, 75), QPoint(-500, 75));
    QCOMPARE(selection->geometry(), QRect(0, 100, 61, 151));
    Drag(selection, QPoint(30, 75), QPoint(5030, 5075));
    QCOMPARE(selection->geometry().bottomRight(), overlay_->rect().bottomRight());

    // A right click inside the selection is its own (its menu); outside, the first drops the
    // selection and the second ends without a capture.
    Send(selection, QEvent::MouseButtonRelease, QPoint(30, 75), Qt::RightButton, Qt::NoButton);
    QVERIFY(Selection());
    QTest::mouseClick(overlay_, Qt::RightButton, Qt::NoModifier, QPoint(400, 400));
    QVERIFY(!Selection());
    QVERIFY(!overlay_->findChild<OERect*>()->isVisible());
    QVERIFY(overlay_->findChild<OEAmplifier*>()->isVisible());
    QTest::mouseClick(overlay_, Qt::RightButton, Qt::NoModifier, QPoint(400, 400));
    QTRY_VERIFY(overlay_.isNull());
    QCOMPARE(ready.count(), 0);
}

void TestFramelessWindow::unreadableScreenIsSaidNotCovered() {
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

void TestFramelessWindow::clickSelectsTheOutlinedWindow() {
    if (qEnvironmentVariableIsSet(kOnXvfb))
        CheckOnX();
    else
        RunOnXvfb("clickSelectsTheOutlinedWindow");
}

void TestFramelessWindow::RunOnXvfb(const char* function) {
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

void TestFramelessWindow::CheckOnX() {
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
    QSignalSpy ready(overlay.data(), &OEScreenshot::screen_ready);

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
    // Over the bare desktop the whole screen is the window.
    Send(overlay, QEvent::MouseMove, QPoint(700, 500), Qt::NoButton);
    QCOMPARE(LastFound(found), QRect(0, 0, 800, 600));

    // Escape without a selection ends it as well.
    QTest::keyClick(overlay, Qt::Key_Escape);
    QTRY_VERIFY(overlay.isNull());
    QCOMPARE(ready.count(), 0);
}

void TestFramelessWindow::pictureSurroundsTheOutlineOnly() {
    const QImage picture = FrameShadow::Picture(QSize(100, 60), kBlur, 6, Qt::black, 1);
    // Next to an edge the shadow is strong, and it fades outwards.
    const int beside = Alpha(picture, 60, kBlur - 1);
    QVERIFY(beside > 40);
    QVERIFY(Alpha(picture, 60, 1) < beside);
    QVERIFY(Alpha(picture, 0, 0) < 10);
    // Where the frame lies it paints itself: nothing is drawn there, not even near its edges.
    QCOMPARE(Alpha(picture, 60, 40), 0);
    QCOMPARE(Alpha(picture, kBlur + 1, 40), 0);
    // The rounded corner shows the shadow beneath it.
    QVERIFY(Alpha(picture, kBlur, kBlur) > 0);

    const QImage sharp = FrameShadow::Picture(QSize(100, 60), kBlur, 6, Qt::black, 2);
    QCOMPARE(sharp.size(), QSize(240, 160));
    QCOMPARE(sharp.devicePixelRatio(), 2.0);

    // At fractional scales nothing darker than the shadow shows beside the outline (a sharp copy
    // of it once left a dark line under the frame).
    const QColor grey(QStringLiteral("#999999"));
    for (const qreal ratio : {1.042, 1.25, 1.5}) {
        const QImage scaled = FrameShadow::Picture(QSize(426, 399), kBlur, 6, grey, ratio);
        const auto check = [&](int x, int y) {
            const QRgb pixel = qUnpremultiply(scaled.pixel(x, y));
            if (qAlpha(pixel) < 32)
                return;
            const QString where = QStringLiteral("ratio %1 at %2,%3").arg(ratio).arg(x).arg(y);
            QVERIFY2(qAbs(qRed(pixel) - grey.red()) < 20, qPrintable(where));
        };
        const int w = scaled.width();
        const int h = scaled.height();
        for (int y = 0; y < h; ++y) {
            check(w / 2, y);
            check(w / 3, y);
        }
        for (int x = 0; x < w; ++x)
            check(x, h / 2);
    }
}

void TestFramelessWindow::windowDrawsTheShadowBesideItsFrame() {
    QWidget window;
    window.setAttribute(Qt::WA_TranslucentBackground);
    window.resize(140, 100);
    auto* frame = new QFrame(&window);
    frame->setStyleSheet(QStringLiteral("background: #ffffff;"));
    frame->setGeometry(kBlur, kBlur, 120, 80);
    WindowStyle::AddShadow(frame, kBlur);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QImage shot = window.grab().toImage();
    QVERIFY(Alpha(shot, 70, kBlur - 1) > 40);
    QCOMPARE(shot.pixel(70, 50), qRgb(255, 255, 255));

    // The shadow follows the frame when it shrinks: beside its new edge, not where it was.
    frame->setGeometry(kBlur, kBlur, 120, 60);
    shot = window.grab().toImage();
    QVERIFY(Alpha(shot, 70, kBlur + 60) > 40);
    QVERIFY(Alpha(shot, 70, kBlur + 70) < Alpha(shot, 70, kBlur + 60));
    QVERIFY(Alpha(shot, 70, kBlur + 79) < 10);
}

void TestFramelessWindow::dragsWithTheLeftButtonUnlessMaximised() {
    QWidget window;
    new WindowDragger(&window);
    window.setGeometry(100, 100, 200, 150);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QPoint moved = window.pos() + QPoint(30, 20);
    DragWindow(&window, Qt::LeftButton, {10, 10}, {40, 30});
    QCOMPARE(window.pos(), moved);
    DragWindow(&window, Qt::RightButton, {10, 10}, {60, 60});
    QCOMPARE(window.pos(), moved);
    // After the release a plain move does nothing.
    QMouseEvent move(QEvent::MouseMove, QPoint(90, 90), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &move);
    QCOMPARE(window.pos(), moved);

    QWidget maximised;
    new WindowDragger(&maximised, true);
    maximised.showMaximized();
    QVERIFY(QTest::qWaitForWindowExposed(&maximised));
    const QPoint start = maximised.pos();
    DragWindow(&maximised, Qt::LeftButton, {10, 10}, {40, 30});
    QCOMPARE(maximised.pos(), start);
}

void TestFramelessWindow::avatarsAreRoundAndFoundByName() {
    // Sharp on scaled screens: drawn at the device's pixels.
    const QPixmap round = RoundAvatar::Round(Bands(), QSize(40, 40), 2);
    QCOMPARE(round.size(), QSize(80, 80));
    QCOMPARE(round.devicePixelRatio(), 2.0);
    const QImage pixels = round.toImage();
    // Inside the circle near its left and right edges: still the middle band.
    for (const int x : {8, 40, 70})
        QCOMPARE(QColor(pixels.pixel(x, 40)).name(), QStringLiteral("#00ff00"));
    // Outside the circle: nothing.
    QCOMPARE(qAlpha(pixels.pixel(0, 0)), 0);
    QCOMPARE(qAlpha(pixels.pixel(78, 78)), 0);

    QTemporaryDir dir;
    QVERIFY(RoundAvatar::FromFolder(dir.path(), "10001", QSize(20, 20)).isNull());
    // A JPEG under a .png name still loads; a name that only starts alike is not a match.
    QVERIFY(Bands().save(dir.path() + "/100011.png", "PNG"));
    QVERIFY(RoundAvatar::FromFolder(dir.path(), "10001", QSize(20, 20)).isNull());
    QVERIFY(Bands().save(dir.path() + "/10001.png", "JPG"));
    QCOMPARE(RoundAvatar::FromFolder(dir.path(), "10001", QSize(20, 20), 1.5).size(),
             QSize(30, 30));
}

CORAL_TEST_MAIN(TestFramelessWindow)
#include "tst_frameless_window.moc"
