#include <QtTest>

#include "tests/support/TestMain.h"

#include "widgets/WindowDragger.h"

class TestWindowDragger : public QObject {
    Q_OBJECT
private slots:
    void dragsWithTheLeftButtonOnly();
    void maximisedWindowStaysPut();
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

void TestWindowDragger::dragsWithTheLeftButtonOnly() {
    QWidget window;
    new WindowDragger(&window);
    window.setGeometry(100, 100, 200, 150);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QPoint start = window.pos();

    Drag(&window, Qt::LeftButton, {10, 10}, {40, 30});
    QCOMPARE(window.pos(), start + QPoint(30, 20));

    Drag(&window, Qt::RightButton, {10, 10}, {60, 60});
    QCOMPARE(window.pos(), start + QPoint(30, 20));

    // After the release a plain move does nothing.
    QMouseEvent move(QEvent::MouseMove, QPoint(90, 90), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &move);
    QCOMPARE(window.pos(), start + QPoint(30, 20));
}

void TestWindowDragger::maximisedWindowStaysPut() {
    QWidget window;
    new WindowDragger(&window, true);
    window.showMaximized();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QPoint start = window.pos();
    Drag(&window, Qt::LeftButton, {10, 10}, {40, 30});
    QCOMPARE(window.pos(), start);
}

CORAL_TEST_MAIN(TestWindowDragger)
#include "tst_window_dragger.moc"
