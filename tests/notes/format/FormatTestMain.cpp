#include "support/TestEnvironment.h"

#include <QApplication>

// The popover is a widget: its tests bring their own main() with a QApplication (offscreen in tests).
int main(int argc, char** argv)
{
    return vorn::test::runAllTests<QApplication>(argc, argv);
}
