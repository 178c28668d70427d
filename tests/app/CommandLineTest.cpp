#include "app/CommandLine.h"

#include <gtest/gtest.h>

using namespace vorn;

TEST(CommandLine, readsOwnOptionsAndLeavesSettingsArgumentsAlone)
{
    const CommandLine c =
        CommandLine::parse({QStringLiteral("vorn-todo"), QStringLiteral("-demo"), QStringLiteral("-demoTab"),
                            QStringLiteral("later"), QStringLiteral("--list"), QStringLiteral("Groceries")});
    EXPECT_TRUE(c.error.isEmpty());
    EXPECT_EQ(c.list, QStringLiteral("Groceries"));
    EXPECT_FALSE(c.help);

    EXPECT_EQ(CommandLine::parse({QStringLiteral("x"), QStringLiteral("--list=done-ish")}).list,
              QStringLiteral("done-ish"));
    EXPECT_TRUE(CommandLine::parse({QStringLiteral("x"), QStringLiteral("--help")}).help);
}

TEST(CommandLine, listWithoutANameAndUnknownOptionsAreErrors)
{
    EXPECT_FALSE(CommandLine::parse({QStringLiteral("x"), QStringLiteral("--list")}).error.isEmpty());
    EXPECT_FALSE(CommandLine::parse({QStringLiteral("x"), QStringLiteral("--list"), QStringLiteral("-demo")})
                     .error.isEmpty());
    EXPECT_FALSE(CommandLine::parse({QStringLiteral("x"), QStringLiteral("--frobnicate")}).error.isEmpty());
}
