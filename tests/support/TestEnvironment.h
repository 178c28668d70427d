#pragma once

#include <QCoreApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace vorn::test {

// Gives this test process (and the programs it starts) a home, data, config and runtime folder of its own,
// so parallel tests never share files and nothing reaches the user's real folders. Keep the result alive.
std::unique_ptr<QTemporaryDir> isolateTestProcess();

// The body of every test program's main(), with the application object its tests need.
template <class App> int runAllTests(int argc, char** argv)
{
    const auto home = isolateTestProcess();
    if (!home)
        return 3;
    App app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Vorn"));
    QCoreApplication::setApplicationName(QStringLiteral("vorn-todo-tests"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

} // namespace vorn::test
