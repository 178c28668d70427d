#include "support/TestEnvironment.h"

#include <QApplication>

// The steps view is a widget: its tests need a QApplication, on the offscreen platform.
int main(int argc, char** argv)
{
    return vorn::test::runAllTests<QApplication>(argc, argv);
}
