#include <QtTest>

#include <QFrame>

#include "tests/support/TestMain.h"

#include "widgets/FrameShadow.h"
#include "widgets/WindowStyle.h"

class TestFrameShadow : public QObject {
    Q_OBJECT
private slots:
    void pictureSurroundsTheOutlineOnly();
    void fractionalScaleShowsOnlyTheShadowColour();
    void windowDrawsTheShadowBesideItsFrame();
};

namespace {

constexpr int kBlur = 10;

int Alpha(const QImage& image, int x, int y) {
    return qAlpha(image.pixel(x, y));
}

}  // namespace

void TestFrameShadow::pictureSurroundsTheOutlineOnly() {
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

void TestFrameShadow::fractionalScaleShowsOnlyTheShadowColour() {
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

void TestFrameShadow::windowDrawsTheShadowBesideItsFrame() {
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

CORAL_TEST_MAIN(TestFrameShadow)
#include "tst_frame_shadow.moc"
