#include <QClipboard>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QtTest>

#include "tests/support/TestMain.h"

#include "screenshot/OEAmplifier.h"
#include "screenshot/OERect.h"
#include "screenshot/OEScreen.h"
#include "screenshot/OEScreenshot.h"
#include "screenshot/ScreenImage.h"
#include "screenshot/SelectionGeometry.h"
#include "screenshot/ShotScale.h"

// The overlay over a picture of known colours; no window system is asked for windows here.
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

private:
    OEScreenshot* Open();
    void Send(QWidget* widget, QEvent::Type type, const QPoint& pos, Qt::MouseButton button,
              Qt::MouseButtons held);
    void Drag(QWidget* widget, const QPoint& from, const QPoint& to);
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

void TestScreenshot::Send(QWidget* widget, QEvent::Type type, const QPoint& pos,
                          Qt::MouseButton button, Qt::MouseButtons held) {
    QMouseEvent event(type, pos, widget->mapToGlobal(pos), button, held, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

// A left-button drag as the window system delivers it: every event to the pressed widget.
void TestScreenshot::Drag(QWidget* widget, const QPoint& from, const QPoint& to) {
    Send(widget, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    Send(widget, QEvent::MouseMove, (from + to) / 2, Qt::NoButton, Qt::LeftButton);
    Send(widget, QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
    Send(widget, QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
}

void TestScreenshot::scaleFollowsDesktopHeight() {
    QCOMPARE(ShotScale::ForHeight(768), 1.0f);
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
    QVERIFY(magnified(100, 80));
    QVERIFY(magnified(15, 11));
    QVERIFY(!magnified(14, 80));
    QVERIFY(!magnified(100, 10));
    QVERIFY(!magnified(0, 0));
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
    QCOMPARE(G::RegionAt(start.size(), QPoint(100, 148), 6), G::kBottom);
    QCOMPARE(G::RegionAt(start.size(), QPoint(196, 70), 6), G::kRight);
    QCOMPARE(G::RegionAt(start.size(), QPoint(100, 70), 6), G::kInside);
    // A side keeps the other dimension; past the opposite side the rectangle flips.
    QCOMPARE(G::Resized(start, G::kRight, QPoint(350, 10)),
             QRect(QPoint(100, 100), QPoint(350, 250)));
    QCOMPARE(G::Resized(start, G::kRight, QPoint(40, 10)),
             QRect(QPoint(40, 100), QPoint(100, 250)));
    QCOMPARE(G::Resized(start, G::kTop, QPoint(0, 280)), QRect(QPoint(100, 250), QPoint(300, 280)));
    QCOMPARE(G::Resized(start, G::kTopLeft, QPoint(320, 260)),
             QRect(QPoint(300, 250), QPoint(320, 260)));

    // The same through the widget: the right side dragged past the left one.
    QVERIFY(Open());
    Drag(overlay_, start.topLeft(), start.bottomRight());
    OEScreen* selection = Selection();
    QCOMPARE(selection->geometry(), start);
    const QPoint right_side(selection->width() - 2, selection->height() / 2);
    Send(selection, QEvent::MouseMove, right_side, Qt::NoButton, Qt::NoButton);
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

CORAL_TEST_MAIN(TestScreenshot)
#include "tst_screenshot.moc"
