#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct Result {
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs the installed program with a home folder of the test's own.
class ProgramTest : public ::testing::Test {
protected:
    Result run(const QStringList& args)
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), home.path());
        env.remove(QStringLiteral("XDG_DATA_HOME"));
        env.remove(QStringLiteral("XDG_CONFIG_HOME"));
        env.insert(QStringLiteral("TMPDIR"), home.path());
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(VORN_TODO_BINARY), args);
        EXPECT_TRUE(p.waitForFinished(30000));
        return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
    }
    QString storePath() const { return home.filePath(QStringLiteral(".local/share/Vorn/vorn-todo/store.sqlite")); }
    QTemporaryDir home;
};

QByteArray hashOf(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256) : QByteArray();
}

} // namespace

TEST_F(ProgramTest, demoListsPrintExactlyTheirThingsInOrder)
{
    Result today = run({QStringLiteral("-demo"), QStringLiteral("--list"), QStringLiteral("today")});
    EXPECT_EQ(today.exitCode, 0) << today.err.toStdString();
    EXPECT_EQ(today.out, QStringLiteral("- [ ] Reply to Kesh about the deck\n"
                                        "- [ ] Book the dentist (for real this time)\n"
                                        "- [ ] Think about the gym\n"
                                        "- [ ] Water the plant on the left\n"
                                        "- [ ] book flights (from planner)\n"));

    Result groceries = run({QStringLiteral("-demo"), QStringLiteral("--list"), QStringLiteral("groceries")});
    EXPECT_EQ(groceries.exitCode, 0);
    EXPECT_EQ(groceries.out, QStringLiteral("- [ ] Oat milk\n- [ ] Bread, the good one\n- [ ] Coffee beans\n"));
    EXPECT_FALSE(QFile::exists(storePath())) << "a demo never writes the real store";
}

TEST_F(ProgramTest, anUnknownListSaysWhichOnesExist)
{
    Result r = run({QStringLiteral("-demo"), QStringLiteral("--list"), QStringLiteral("chores")});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_TRUE(r.err.contains(QStringLiteral("groceries"))) << r.err.toStdString();
}

TEST_F(ProgramTest, listingIsReadOnly)
{
    Result empty = run({QStringLiteral("--list"), QStringLiteral("today")});
    EXPECT_EQ(empty.exitCode, 0) << empty.err.toStdString();
    EXPECT_TRUE(empty.out.isEmpty());
    EXPECT_FALSE(QFile::exists(storePath())) << "listing never creates a store";

    Result plain = run({});
    EXPECT_EQ(plain.exitCode, 0) << plain.err.toStdString();
    ASSERT_TRUE(QFile::exists(storePath()));
    const QByteArray before = hashOf(storePath());
    run({QStringLiteral("--list"), QStringLiteral("done-ish")});
    EXPECT_EQ(hashOf(storePath()), before);
}

TEST_F(ProgramTest, anUnreadableStoreStopsTheAppAndStaysAsItWas)
{
    ASSERT_TRUE(QDir().mkpath(QFileInfo(storePath()).absolutePath()));
    QFile f(storePath());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(8192, 'x'));
    f.close();
    const QByteArray before = hashOf(storePath());

    for (const QStringList& args : {QStringList{}, QStringList{QStringLiteral("--list"), QStringLiteral("today")}}) {
        Result r = run(args);
        EXPECT_NE(r.exitCode, 0);
        EXPECT_TRUE(r.err.startsWith(QStringLiteral("Couldn't open the store: "))) << r.err.toStdString();
        EXPECT_EQ(hashOf(storePath()), before);
    }
}

TEST_F(ProgramTest, helpListsTheOptions)
{
    Result r = run({QStringLiteral("--help")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.out.contains(QStringLiteral("--list")));
    EXPECT_TRUE(r.out.contains(QStringLiteral("-demo")));
    EXPECT_NE(run({QStringLiteral("--bogus")}).exitCode, 0);
}
