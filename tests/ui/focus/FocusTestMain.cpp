#include "support/TestEnvironment.h"

#include <QApplication>

// The focus panel is a window: its tests need a QApplication, on the offscreen platform.
int main(int argc, char** argv)
{
    return vorn::test::runAllTests<QApplication>(argc, argv);
}
