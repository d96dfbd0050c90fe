#include <QFrame>
#include <QPainter>
#include <QTemporaryDir>
#include <QtTest>

#include "tests/support/TestMain.h"
#include "widgets/FrameShadow.h"
#include "widgets/RoundAvatar.h"
#include "widgets/WindowDragger.h"
#include "widgets/WindowStyle.h"

// The drawing helpers of the frameless windows (shadow, round avatars) and their dragging.
class TestFramelessWindow : public QObject {
    Q_OBJECT
private slots:
    void pictureSurroundsTheOutlineOnly();
    void fractionalScaleShowsOnlyTheShadowColour();
    void windowDrawsTheShadowBesideItsFrame();
    void dragsWithTheLeftButtonUnlessMaximised();
    void wideFaceKeepsItsMiddle();
    void avatarFolderLookup();
};

namespace {

constexpr int kBlur = 10;

int Alpha(const QImage& image, int x, int y) {
    return qAlpha(image.pixel(x, y));
}

void Drag(QWidget* window, Qt::MouseButton button, const QPoint& from, const QPoint& to) {
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

}  // namespace

void TestFramelessWindow::pictureSurroundsTheOutlineOnly() {
    const QImage picture = FrameShadow::Picture(QSize(100, 60), kBlur, 6, Qt::black, 1);
    QCOMPARE(picture.size(), QSize(120, 80));
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
}

void TestFramelessWindow::fractionalScaleShowsOnlyTheShadowColour() {
    // The outline's edges fall between device pixels there; beside them nothing darker than the
    // shadow may show (a sharp copy of the outline once left a dark line under the frame).
    const QColor grey(QStringLiteral("#999999"));
    for (const qreal ratio : {1.042, 1.25, 1.5}) {
        const QImage picture = FrameShadow::Picture(QSize(426, 399), kBlur, 6, grey, ratio);
        const auto check = [&](int x, int y) {
            const QRgb pixel = qUnpremultiply(picture.pixel(x, y));
            if (qAlpha(pixel) < 32)
                return;
            const QString where = QStringLiteral("ratio %1 at %2,%3").arg(ratio).arg(x).arg(y);
            QVERIFY2(qAbs(qRed(pixel) - grey.red()) < 20, qPrintable(where));
        };
        const int w = picture.width();
        const int h = picture.height();
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
    Drag(&window, Qt::LeftButton, {10, 10}, {40, 30});
    QCOMPARE(window.pos(), moved);
    Drag(&window, Qt::RightButton, {10, 10}, {60, 60});
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
    Drag(&maximised, Qt::LeftButton, {10, 10}, {40, 30});
    QCOMPARE(maximised.pos(), start);
}

void TestFramelessWindow::wideFaceKeepsItsMiddle() {
    // Sharp on scaled screens: drawn at the device's pixels.
    for (const qreal ratio : {1.0, 2.0}) {
        const QPixmap round = RoundAvatar::Round(Bands(), QSize(40, 40), ratio);
        QCOMPARE(round.size(), QSize(40, 40) * ratio);
        QCOMPARE(round.devicePixelRatio(), ratio);
        const QImage pixels = round.toImage();
        // Inside the circle near its left and right edges: still the middle band.
        for (const int x : {4, 20, 35})
            QCOMPARE(QColor(pixels.pixel(x * ratio, 20 * ratio)).name(), QStringLiteral("#00ff00"));
        // Outside the circle: nothing.
        QCOMPARE(qAlpha(pixels.pixel(0, 0)), 0);
        QCOMPARE(qAlpha(pixels.pixel(39 * ratio, 39 * ratio)), 0);
    }
}

void TestFramelessWindow::avatarFolderLookup() {
    QTemporaryDir dir;
    QVERIFY(RoundAvatar::FromFolder(dir.path(), "10001", QSize(20, 20)).isNull());
    // A JPEG under a .png name still loads; a name that only starts alike is not a match.
    QVERIFY(Bands().save(dir.path() + "/100011.png", "PNG"));
    QVERIFY(RoundAvatar::FromFolder(dir.path(), "10001", QSize(20, 20)).isNull());
    QVERIFY(Bands().save(dir.path() + "/10001.png", "JPG"));
    const QPixmap round = RoundAvatar::FromFolder(dir.path(), "10001", QSize(20, 20), 1.5);
    QCOMPARE(round.size(), QSize(30, 30));
}

CORAL_TEST_MAIN(TestFramelessWindow)
#include "tst_frameless_window.moc"
