#include "app/MainWindow.h"

#include "model/AppModel.h"
#include "support/ModelHarness.h"
#include "support/ProgramRun.h"
#include "ui/screens/ListScreenHeader.h"

#include <QFile>
#include <QTest>

#include <gtest/gtest.h>

namespace vorn {

namespace {

constexpr char kFakeTime[] = "/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1";

// The real program on the test's home, its clock moved to `local` (Berlin) by libfaketime.
test::ProgramResult runOn(const QTemporaryDir& home, const char* local, const QStringList& args)
{
    QProcessEnvironment env = test::homeEnvironment(home.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    env.insert(QStringLiteral("TZ"), QStringLiteral("Europe/Berlin"));
    env.insert(QStringLiteral("LD_PRELOAD"), QString::fromLatin1(kFakeTime));
    env.insert(QStringLiteral("FAKETIME"), QStringLiteral("@") + QString::fromLatin1(local));
    env.insert(QStringLiteral("FAKETIME_DONT_FAKE_MONOTONIC"), QStringLiteral("1"));
    // The preloaded clock comes before the sanitizer's runtime, which it would otherwise refuse.
    env.insert(QStringLiteral("ASAN_OPTIONS"),
               env.value(QStringLiteral("ASAN_OPTIONS")) + QStringLiteral(":verify_asan_link_order=0"));
    return test::runProgram(QStringLiteral(VORN_TODO_BINARY), args, env);
}

} // namespace

TEST(CommandLineRollover, theWindowStillSaysWhatRolledOverWhenAnAddOrImportCameFirst)
{
    if (!QFile::exists(QString::fromLatin1(kFakeTime)))
        GTEST_SKIP() << "libfaketime is not installed";
    for (const char* option : {"--add", "--import"}) {
        SCOPED_TRACE(option);
        test::ModelHarness h(test::at("Europe/Berlin", "2026-03-11 09:30:00"));
        const QTemporaryDir& home = h.dir;
        QFile file(home.filePath(QStringLiteral("more.md")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write("- [ ] imported\n") > 0);
        file.close();
        const QString arg = QLatin1String(option) == "--add" ? QStringLiteral("one more") : file.fileName();

        // given a thing left open on the 10th, and the first start of the 11th from the command line
        ASSERT_EQ(runOn(home, "2026-03-10 18:00:00", {QStringLiteral("--add"), QStringLiteral("left open")})
                      .exitCode,
                  0);
        const test::ProgramResult r = runOn(home, "2026-03-11 08:00:00", {QString::fromLatin1(option), arg});
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();

        // when the window opens later that morning
        h.launch.appDataDir = home.filePath(QStringLiteral(".local/share/Vorn/vorn-todo"));
        h.launch.sharedDataDir = home.filePath(QStringLiteral(".local/share/Vorn"));
        h.launch.settingsPath = home.filePath(QStringLiteral(".config/Vorn/vorn-todo.json"));
        const auto windowSays = [&h] {
            auto model = h.start();
            EXPECT_EQ(model->allThings().size(), 2u) << "the window reads the program's store";
            MainWindow window(*model);
            window.show();
            const auto* header = window.findChild<ListScreenHeader*>();
            return header ? header->summary() : QString();
        };
        const QString first = windowSays();
        EXPECT_TRUE(first.endsWith(QStringLiteral(" · 1 thing rolled over. We've all been there.")))
            << first.toStdString();
        EXPECT_FALSE(windowSays().contains(QStringLiteral("rolled over"))) << "told once, as by a window";
    }
}

} // namespace vorn
