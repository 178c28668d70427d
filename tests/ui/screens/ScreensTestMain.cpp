#include "support/TestEnvironment.h"

#include <QApplication>

// The screens are widgets: they need a QApplication, on the offscreen platform.
int main(int argc, char** argv)
{
    // Fades and press animations finish at once, so tests read the end state without waiting.
    qputenv("VORN_REDUCE_MOTION", "1");
    return vorn::test::runAllTests<QApplication>(argc, argv);
}
