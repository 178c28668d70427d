#include "support/ProgramRun.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using vorn::test::hashOf;

// Whichever command meets a store it can't open says so in the window's words, exits 1, prints nothing
// on standard output and leaves the file as it was.
TEST(StoreCommand, everyCommandSaysAStoreThatWontOpenTheSameWay)
{
    QTemporaryDir home;
    QProcessEnvironment env = vorn::test::homeEnvironment(home.path());
    env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS")); // no running app to hand the change to
    const QString store = home.filePath(QStringLiteral(".local/share/Vorn/vorn-todo/store.sqlite"));
    ASSERT_TRUE(QDir().mkpath(QFileInfo(store).absolutePath()));
    QFile broken(store);
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly) && broken.write(QByteArray(8192, 'x')) == 8192);
    broken.close();
    const QByteArray before = hashOf(store);
    const QString checklist = home.filePath(QStringLiteral("more.md"));
    QFile file(checklist);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write("- [ ] imported\n") > 0);
    file.close();

    const QStringList commands[] = {
        {QStringLiteral("--list"), QStringLiteral("today")},
        {QStringLiteral("--export")},
        {QStringLiteral("--export"), home.filePath(QStringLiteral("out.md"))},
        {QStringLiteral("--add"), QStringLiteral("Water the plants")},
        {QStringLiteral("--import"), checklist},
    };
    QString first;
    for (const QStringList& args : commands) {
        SCOPED_TRACE(args.join(u' ').toStdString());
        const vorn::test::ProgramResult r =
            vorn::test::runProgram(QStringLiteral(VORN_TODO_BINARY), args, env);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_TRUE(r.out.isEmpty()) << r.out.toStdString();
        EXPECT_TRUE(r.err.startsWith(QStringLiteral("Couldn't open the store: "))) << r.err.toStdString();
        EXPECT_GT(r.err.size(), QStringLiteral("Couldn't open the store: \n").size()) << "and why";
        if (first.isEmpty())
            first = r.err;
        EXPECT_EQ(r.err, first) << "one wording, whichever command";
        EXPECT_EQ(hashOf(store), before);
    }
    EXPECT_FALSE(QFile::exists(home.filePath(QStringLiteral("out.md")))) << "no export of nothing";
}
