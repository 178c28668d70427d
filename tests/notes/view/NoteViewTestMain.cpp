#include "support/TestEnvironment.h"

#include <QApplication>

// The note's text view is a widget: it needs a QApplication (offscreen in tests).
int main(int argc, char** argv)
{
    return vorn::test::runAllTests<QApplication>(argc, argv);
}
