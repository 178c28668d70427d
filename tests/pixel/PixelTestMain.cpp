#include "support/TestEnvironment.h"

#include <QApplication>

// The pixel views are widgets: they need a QApplication, on the offscreen platform.
int main(int argc, char** argv)
{
    // The yawn tests decide reduced motion themselves; the desktop running them must not.
    qputenv("VORN_REDUCE_MOTION", "0");
    return vorn::test::runAllTests<QApplication>(argc, argv);
}
