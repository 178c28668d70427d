#include "support/TestEnvironment.h"

#include <QGuiApplication>

// Note text lives in QTextDocument, whose fonts need a QGuiApplication (offscreen in tests).
int main(int argc, char** argv)
{
    return vorn::test::runAllTests<QGuiApplication>(argc, argv);
}
