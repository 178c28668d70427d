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

TEST(CommandLine, syncSetupTakesAnAddressAndAUserButNeverAPassword)
{
    const auto parse = [](const QString& line) {
        return CommandLine::parse(QString(QStringLiteral("x ") + line).split(u' '));
    };
    const CommandLine ok =
        parse(QStringLiteral("--user alice --sync-setup https://example.org/ --allow-http"));
    EXPECT_TRUE(ok.error.isEmpty()) << ok.error.toStdString();
    EXPECT_EQ(ok.syncSetup, QStringLiteral("https://example.org/"));
    EXPECT_EQ(ok.syncUser, QStringLiteral("alice"));
    EXPECT_TRUE(ok.allowHttp);
    for (const char* wrong :
         {"--sync-setup https://example.org/", "--sync-setup --user alice", "--user alice", "--allow-http",
          "--sync-setup example.org --user alice --password pw"})
        EXPECT_FALSE(parse(QString::fromLatin1(wrong)).error.isEmpty()) << wrong;
    EXPECT_TRUE(parse(QStringLiteral("--sync-status")).syncStatus);
}
