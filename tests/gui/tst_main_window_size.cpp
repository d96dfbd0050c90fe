#include <QWidget>
#include <QtTest>

#include "chat/MainWidget.h"
#include "tests/gui/GuiTestUtil.h"
#include "tests/support/TestMain.h"

// The window must fit the screen's free area: on a 1366x768 screen with a panel, the designed
// minimum height would push the bottom (and the input's send button) off the screen.
class TestMainWindowSize : public QObject {
    Q_OBJECT
private slots:
    void init() { gui_test::ResetAccounts(); }
    void fitsTheFreeArea_data();
    void fitsTheFreeArea();
};

void TestMainWindowSize::fitsTheFreeArea_data() {
    QTest::addColumn<QRect>("available");
    QTest::newRow("1366x768 with a panel") << QRect(0, 28, 1366, 740);
    QTest::newRow("1280x720") << QRect(0, 0, 1280, 720);
    QTest::newRow("1920x1080") << QRect(0, 0, 1920, 1040);
}

void TestMainWindowSize::fitsTheFreeArea() {
    QFETCH(QRect, available);
    MainWidget main;
    main.Init();
    main.FitScreen(available);
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    QVERIFY2(main.height() <= available.height(), qPrintable(QString::number(main.height())));
    QVERIFY(main.width() <= available.width());
    // Laid out at that size, nothing insists on more room than the screen has.
    QVERIFY(main.minimumSizeHint().height() <= available.height());
    // A large screen gets a roomy window, not the cramped designed minimum.
    if (available.width() >= 1920)
        QVERIFY(main.width() >= 1100 && main.height() >= 760);
}

CORAL_TEST_MAIN(TestMainWindowSize)
#include "tst_main_window_size.moc"
