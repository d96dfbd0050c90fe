#include <QtTest>

#include "tests/support/TestMain.h"

#include "widgets/WindowDragger.h"

class TestWindowDragger : public QObject {
    Q_OBJECT
private slots:
    void dragsWithTheLeftButtonUnlessMaximised();
};

namespace {

void Drag(QWidget* window, Qt::MouseButton button, const QPoint& from, const QPoint& to) {
    QTest::mousePress(window, button, Qt::NoModifier, from);
    QMouseEvent move(QEvent::MouseMove, to, window->mapToGlobal(to), button, button,
                     Qt::NoModifier);
    QApplication::sendEvent(window, &move);
    QTest::mouseRelease(window, button, Qt::NoModifier, to);
}

}  // namespace

void TestWindowDragger::dragsWithTheLeftButtonUnlessMaximised() {
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

CORAL_TEST_MAIN(TestWindowDragger)
#include "tst_window_dragger.moc"
