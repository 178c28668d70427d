#include "support/TestEnvironment.h"

// Every test program's main(). Its build names the application object the tests need (widgets need a
// QApplication, fonts and the clipboard a QGuiApplication, the rest a QCoreApplication) and the
// variables the program sets for itself, so a run by hand is the same as one under CTest.
#if VORN_TEST_APP == 2
#include <QApplication>
using TestApplication = QApplication;
#elif VORN_TEST_APP == 1
#include <QGuiApplication>
using TestApplication = QGuiApplication;
#else
using TestApplication = QCoreApplication;
#endif

#ifndef VORN_TEST_ENV
#define VORN_TEST_ENV ""
#endif

int main(int argc, char** argv)
{
    // "NAME=value|NAME=value", set before the application object reads any of them.
    for (const QByteArray& entry : QByteArray(VORN_TEST_ENV).split('|')) {
        const qsizetype eq = entry.indexOf('=');
        if (eq > 0)
            qputenv(entry.left(eq).constData(), entry.mid(eq + 1));
    }
    return vorn::test::runAllTests<TestApplication>(argc, argv);
}
