#include "support/TestEnvironment.h"

#include <QApplication>

// The window and its menus are widgets: their tests need a QApplication, on the offscreen platform.
int main(int argc, char** argv)
{
    return vorn::test::runAllTests<QApplication>(argc, argv);
}
