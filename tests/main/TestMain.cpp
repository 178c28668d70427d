#include "support/TestEnvironment.h"

int main(int argc, char** argv)
{
    return vorn::test::runAllTests<QCoreApplication>(argc, argv);
}
