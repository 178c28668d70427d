#include "files/AtomicFile.h"
#include "support/TinyDisk.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace vorn;
using namespace Qt::StringLiterals;

namespace {

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// Everything in the folder but the filler: no temporary file may be left behind.
QStringList entries(const QString& folder)
{
    QStringList names = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    names.removeAll(u".filler"_s);
    return names;
}

} // namespace

TEST(AtomicFile, aFullOrReadOnlyDiskLeavesTheOldFileWholeAndSaysWhy)
{
    test::TinyDisk disk;
    if (!disk.isMounted())
        GTEST_SKIP() << disk.why().toStdString();
    const QString path = disk.filePath(u"backup.md"_s);
    const QByteArray old(3000, 'o');
    ASSERT_TRUE(writeFileAtomically(path, old));
    // Bigger than what is left and smaller than one buffer: a buffered writer only learns at close.
    const QByteArray next(6000, 'n');

    struct Case {
        const char* name;
        void (*breakIt)(test::TinyDisk&);
        void (*mendIt)(test::TinyDisk&);
        const char* reason;
    };
    const Case cases[] = {
        {"full", [](test::TinyDisk& d) { d.fill(); }, [](test::TinyDisk& d) { d.drain(); }, "No space"},
        {"read-only", [](test::TinyDisk& d) { ASSERT_TRUE(d.setReadOnly(true)); },
         [](test::TinyDisk& d) { ASSERT_TRUE(d.setReadOnly(false)); }, "Read-only"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.breakIt(disk);
        QString error;
        EXPECT_FALSE(writeFileAtomically(path, next, &error));
        EXPECT_TRUE(error.contains(QLatin1String(c.reason))) << error.toStdString();
        EXPECT_EQ(contents(path), old);
        EXPECT_EQ(entries(disk.path()), QStringList{u"backup.md"_s});
        c.mendIt(disk);
        ASSERT_TRUE(writeFileAtomically(path, old));
    }
    EXPECT_TRUE(writeFileAtomically(path, next));
    EXPECT_EQ(contents(path), next);
}

TEST(AtomicFile, linksAreFollowedOnlyWhenAskedAndNeverReadWhenRefused)
{
    QTemporaryDir dir;
    const QString victim = dir.filePath(u"victim.txt"_s);
    const QString link = dir.filePath(u"note.rtf"_s);
    ASSERT_TRUE(writeFileAtomically(victim, "mine"));
    ASSERT_TRUE(QFile::link(victim, link));
    ::chmod(QFile::encodeName(victim).constData(), 0640);

    QString error;
    EXPECT_FALSE(writeFileAtomically(link, "rtf", &error, FileLinks::Refuse));
    EXPECT_TRUE(error.contains(u"link"_s)) << error.toStdString();
    EXPECT_FALSE(readRegularFile(link, 100, nullptr, FileLinks::Refuse));
    EXPECT_EQ(contents(victim), "mine");
    EXPECT_TRUE(isSymbolicLink(link));

    // Followed, the link stays a link and what it names gets the bytes, its mode kept.
    EXPECT_EQ(readRegularFile(link, 100), QByteArray("mine"));
    ASSERT_TRUE(writeFileAtomically(link, "export", nullptr, FileLinks::Follow));
    EXPECT_TRUE(isSymbolicLink(link));
    EXPECT_EQ(contents(victim), "export");
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(victim).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST(AtomicFile, onlyWholeRegularFilesWithinTheLimitAreRead)
{
    QTemporaryDir dir;
    const QString fifo = dir.filePath(u"fifo"_s);
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    ASSERT_TRUE(writeFileAtomically(dir.filePath(u"ten"_s), "0123456789"));

    struct Case {
        QString path;
        qint64 limit;
        std::optional<QByteArray> expected;
    };
    const Case cases[] = {
        {dir.filePath(u"ten"_s), 10, QByteArray("0123456789")},
        {dir.filePath(u"ten"_s), 9, std::nullopt},
        {fifo, 100, std::nullopt}, // must not wait for a writer
        {dir.path(), 100, std::nullopt},
        {u"/dev/zero"_s, 100, std::nullopt},
        {dir.filePath(u"missing"_s), 100, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        EXPECT_EQ(readRegularFile(c.path, c.limit), c.expected);
    }
}

TEST(AtomicFile, filesWrittenTogetherAreEachWholeOrNotThere)
{
    QTemporaryDir dir;
    const QString victim = dir.filePath(u"victim.txt"_s);
    ASSERT_TRUE(writeFileAtomically(victim, "mine"));
    ASSERT_TRUE(QFile::link(victim, dir.filePath(u"c.rtf"_s)));
    ASSERT_TRUE(writeFileAtomically(dir.filePath(u"b.rtf"_s), "old"));
    ::chmod(QFile::encodeName(dir.filePath(u"b.rtf"_s)).constData(), 0640);

    const std::vector<bool> written = writeFilesAtomically(
        dir.path(),
        {{u"a.rtf"_s, "alpha"}, {u"b.rtf"_s, "beta"}, {u"c.rtf"_s, "gamma"}, {u"no/d.rtf"_s, "delta"}},
        FileLinks::Refuse);
    EXPECT_EQ(written, (std::vector<bool>{true, true, false, false}));
    EXPECT_EQ(contents(dir.filePath(u"a.rtf"_s)), "alpha");
    EXPECT_EQ(contents(dir.filePath(u"b.rtf"_s)), "beta");
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(dir.filePath(u"b.rtf"_s)).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(contents(victim), "mine");
    EXPECT_TRUE(isSymbolicLink(dir.filePath(u"c.rtf"_s)));
    EXPECT_EQ(entries(dir.path()), (QStringList{u"a.rtf"_s, u"b.rtf"_s, u"c.rtf"_s, u"victim.txt"_s}));

    // On a full disk the one that doesn't fit fails and leaves its old file whole; the other is written.
    test::TinyDisk disk;
    if (!disk.isMounted())
        GTEST_SKIP() << disk.why().toStdString();
    ASSERT_TRUE(writeFileAtomically(disk.filePath(u"big.rtf"_s), "old"));
    disk.fill();
    const std::vector<bool> full =
        writeFilesAtomically(disk.path(), {{u"big.rtf"_s, QByteArray(64 * 1024, 'b')}, {u"small.rtf"_s, ""}});
    EXPECT_EQ(full, (std::vector<bool>{false, true}));
    EXPECT_EQ(contents(disk.filePath(u"big.rtf"_s)), "old");
    EXPECT_EQ(entries(disk.path()), (QStringList{u"big.rtf"_s, u"small.rtf"_s}));
}
