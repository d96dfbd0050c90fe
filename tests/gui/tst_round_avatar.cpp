#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QTemporaryDir>
#include <QtTest>

#include "tests/support/TestMain.h"
#include "widgets/RoundAvatar.h"

class TestRoundAvatar : public QObject {
    Q_OBJECT
private slots:
    void wideFaceKeepsItsMiddle();
    void folderLookup();
};

namespace {

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

void TestRoundAvatar::wideFaceKeepsItsMiddle() {
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
