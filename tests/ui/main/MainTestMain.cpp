#include "support/TestEnvironment.h"

#include <QApplication>

// The tab strip is a widget: its tests need a QApplication, on the offscreen platform.
int main(int argc, char** argv)
{
    return vorn::test::runAllTests<QApplication>(argc, argv);
}
