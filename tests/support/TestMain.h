#pragma once

// QTEST_MAIN and QTEST_GUILESS_MAIN for this project: the program isolates its own home before
// anything else runs (see TestHome).

#include <QtTest>

#include "tests/support/TestHome.h"

#ifdef QT_WIDGETS_LIB
#include <QApplication>

#define CORAL_TEST_MAIN(TestObject)              \
    int main(int argc, char** argv) {            \
        TestHome home;                           \
        QApplication app(argc, argv);            \
        app.setAttribute(Qt::AA_Use96Dpi, true); \
        QTEST_DISABLE_KEYPAD_NAVIGATION          \
        TestObject tc;                           \
        QTEST_SET_MAIN_SOURCE_PATH               \
        return QTest::qExec(&tc, argc, argv);    \
    }
#endif

#define CORAL_TEST_GUILESS_MAIN(TestObject)   \
    int main(int argc, char** argv) {         \
        TestHome home;                        \
        QCoreApplication app(argc, argv);     \
        TestObject tc;                        \
        QTEST_SET_MAIN_SOURCE_PATH            \
        return QTest::qExec(&tc, argc, argv); \
    }
