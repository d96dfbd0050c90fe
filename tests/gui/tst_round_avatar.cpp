#include <QImage>
#include <QPixmap>
#include <QTemporaryDir>
#include <QtTest>

#include "tests/support/TestMain.h"
#include "widgets/RoundAvatar.h"

class TestRoundAvatar : public QObject {
    Q_OBJECT
private slots:
    void wideFaceKeepsItsMiddle();
    void sharpOnScaledScreens();
    void folderLookup();
};

namespace {

// Three bands side by side: red, green, blue; the middle band is a square.
QImage Bands() {
    QImage image(90, 30, QImage::Format_ARGB32);
    image.fill(Qt::red);
    for (int x = 30; x < 60; ++x) {
        for (int y = 0; y < 30; ++y)
            image.setPixel(x, y, qRgb(0, 255, 0));
    }
    for (int x = 60; x < 90; ++x) {
        for (int y = 0; y < 30; ++y)
            image.setPixel(x, y, qRgb(0, 0, 255));
    }
    return image;
}

}  // namespace

void TestRoundAvatar::wideFaceKeepsItsMiddle() {
    const QImage round = RoundAvatar::Round(Bands(), QSize(40, 40)).toImage();
    QCOMPARE(round.size(), QSize(40, 40));
    // Inside the circle near its left and right edges: still the middle band.
    for (const QPoint& p : {QPoint(4, 20), QPoint(20, 20), QPoint(35, 20)})
        QCOMPARE(QColor(round.pixel(p)).name(), QStringLiteral("#00ff00"));
    // Outside the circle: nothing.
    QCOMPARE(qAlpha(round.pixel(0, 0)), 0);
    QCOMPARE(qAlpha(round.pixel(39, 39)), 0);
}

void TestRoundAvatar::sharpOnScaledScreens() {
    const QPixmap round = RoundAvatar::Round(Bands(), QSize(36, 36), 2.0);
    QCOMPARE(round.size(), QSize(72, 72));
    QCOMPARE(round.devicePixelRatio(), 2.0);
    const QImage pixels = round.toImage();
    QCOMPARE(QColor(pixels.pixel(8, 36)).name(), QStringLiteral("#00ff00"));
    QCOMPARE(qAlpha(pixels.pixel(1, 1)), 0);
}

void TestRoundAvatar::folderLookup() {
    QTemporaryDir dir;
    QVERIFY(RoundAvatar::FromFolder(dir.path(), "10001", QSize(20, 20)).isNull());
    // A JPEG under a .png name still loads; a name that only starts alike is not a match.
    QVERIFY(Bands().save(dir.path() + "/100011.png", "PNG"));
    QVERIFY(RoundAvatar::FromFolder(dir.path(), "10001", QSize(20, 20)).isNull());
    QVERIFY(Bands().save(dir.path() + "/10001.png", "JPG"));
    const QPixmap round = RoundAvatar::FromFolder(dir.path(), "10001", QSize(20, 20), 1.5);
    QCOMPARE(round.size(), QSize(30, 30));
}

CORAL_TEST_MAIN(TestRoundAvatar)

#include "tst_round_avatar.moc"
