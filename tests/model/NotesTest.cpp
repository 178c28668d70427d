#include "family/FamilyConstants.h"
#include "family/NoteFiles.h"
#include "model/Constants.h"
#include "support/ModelHarness.h"
#include "support/TinyDisk.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>

using namespace vorn;
using vorn::test::ModelHarness;

namespace {

const QByteArray kRtf = QByteArrayLiteral("{\\rtf1\\ansi Buy {\\b oat} milk\\par}");

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& data)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

QStringList noteFiles(const AppModel& model)
{
    return QDir(model.notesDir()).entryList(QDir::Files | QDir::Hidden | QDir::System);
}

Thing* addThing(AppModel& model, const QString& title)
{
    return model.store().insert(Thing::make(title, model.clock().now()));
}

} // namespace

TEST(Notes, savedNoteReadsBackFromALowerCaseUuidFile)
{
    ModelHarness h;
    auto model = h.start();
    Thing* t = addThing(*model, QStringLiteral("shopping"));

    model->saveNote(t->id(), kRtf, QStringLiteral("  Buy oat milk \n\n"));

    ASSERT_TRUE(t->noteID().has_value());
    static const QRegularExpression lowerUuid(
        QStringLiteral("^[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}$"));
    EXPECT_TRUE(lowerUuid.match(*t->noteID()).hasMatch()) << t->noteID()->toStdString();
    EXPECT_EQ(t->note(), QStringLiteral("Buy oat milk"));
    const QString path = QDir(model->notesDir()).filePath(*t->noteID() + QStringLiteral(".rtf"));
    EXPECT_EQ(readFile(path), kRtf);

    NoteContent content = model->noteContent(t->id());
    EXPECT_EQ(content.rtf, kRtf);
    EXPECT_EQ(content.plain, QStringLiteral("Buy oat milk"));

    // A later save rewrites the same file instead of leaving the old one behind.
    const QString stem = *t->noteID();
    const QByteArray second = QByteArrayLiteral("{\\rtf1 Bread\\par}");
    model->saveNote(t->id(), second, QStringLiteral("Bread"));
    EXPECT_EQ(t->noteID(), stem);
    EXPECT_EQ(readFile(path), second);
    EXPECT_EQ(noteFiles(*model), QStringList{stem + QStringLiteral(".rtf")});
}

TEST(Notes, blankTextClearsTheNoteAndTextWithoutRichTextKeepsOnlyTheText)
{
    struct Case {
        const char* name;
        std::optional<QByteArray> rtf;
        QString plain;
        QString kept;
    };
    const std::vector<Case> cases{
        {"white space only", kRtf, QStringLiteral(" \n\t "), QString()},
        {"empty", kRtf, QString(), QString()},
        // Never lose what was typed: the text stays, the older file goes so it can't open in its place.
        {"no rich text", std::nullopt, QStringLiteral("text without data\n"),
         QStringLiteral("text without data")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ModelHarness h;
        auto model = h.start();
        Thing* t = addThing(*model, QStringLiteral("t"));
        model->saveNote(t->id(), kRtf, QStringLiteral("first"));
        ASSERT_EQ(noteFiles(*model).size(), 1);

        model->saveNote(t->id(), c.rtf, c.plain);
        EXPECT_EQ(t->noteID(), std::nullopt);
        EXPECT_EQ(t->note(), c.kept);
        EXPECT_TRUE(noteFiles(*model).isEmpty());
        EXPECT_EQ(model->noteContent(t->id()).rtf, std::nullopt);
        EXPECT_EQ(model->noteContent(t->id()).plain, c.kept);
    }
}

TEST(Notes, aNoteThatCannotBeWrittenToastsLeavesTheRecordAndKeepsTheTypedText)
{
    ModelHarness h;
    // A folder below a regular file can't be made, whoever runs the test.
    const QString blocker = h.dir.filePath(QStringLiteral("blocker"));
    ASSERT_TRUE(writeFile(blocker, "not a folder"));
    h.launch.environment.insert(kNotesDirVariable, blocker + QStringLiteral("/notes"));
    auto model = h.start();

    Thing* fresh = addThing(*model, QStringLiteral("fresh"));
    Thing* noted = addThing(*model, QStringLiteral("noted"));
    noted->setNote(QStringLiteral("old text"));
    noted->setNoteID(QStringLiteral("0b7e1c52-4a0e-4b59-9d3e-3f6a1d2c9e11"));

    for (Thing* thing : {fresh, noted}) {
        model->saveNote(thing->id(), kRtf, QStringLiteral(" new "));
        EXPECT_EQ(model->toast(), QStringLiteral("Couldn't save the note."));
        // The record stays with its last good file; what was typed waits for the folder, and opens.
        EXPECT_EQ(thing->noteID(), thing == fresh ? std::nullopt : std::optional(*noted->noteID()));
        EXPECT_EQ(thing->note(), thing == fresh ? QString() : QStringLiteral("old text"));
        const NoteContent content = model->noteContent(thing->id());
        EXPECT_EQ(content.rtf, kRtf);
        EXPECT_EQ(content.plain, QStringLiteral("new"));
    }
    EXPECT_EQ(readFile(blocker), QByteArray("not a folder"));
}

TEST(Notes, missingFilesAndMissingThingsGiveNoRichText)
{
    ModelHarness h;
    auto model = h.start();
    Thing* t = addThing(*model, QStringLiteral("t"));
    t->setNote(QStringLiteral("plain survives"));
    t->setNoteID(QStringLiteral("no-such-file"));
    const NoteContent content = model->noteContent(t->id());
    EXPECT_EQ(content.rtf, std::nullopt);
    EXPECT_EQ(content.plain, QStringLiteral("plain survives"));

    const RecordId gone = t->id();
    model->store().remove(t);
    const NoteContent none = model->noteContent(gone);
    EXPECT_EQ(none.rtf, std::nullopt);
    EXPECT_EQ(none.plain, QString());
    model->saveNote(gone, kRtf, QStringLiteral("nobody's"));
    EXPECT_TRUE(noteFiles(*model).isEmpty());
}

TEST(Notes, foreignNoteIdsThatAreNotPlainStemsNeverTouchFiles)
{
    const std::vector<QString> stems{
        QStringLiteral("../victim"),    QStringLiteral("../../etc/passwd"), QStringLiteral("a/b"),
        QStringLiteral("a\\b"),         QStringLiteral(".hidden"),          QStringLiteral(".."),
        QStringLiteral("x\u0001y"),     QString::fromUtf16(u"x\0y", 3),     QString(),
        QString(200, QLatin1Char('n')),
    };
    for (const QString& stem : stems) {
        SCOPED_TRACE(stem.toStdString());
        ModelHarness h;
        auto model = h.start();
        Thing* t = addThing(*model, QStringLiteral("t"));

        // Put a file where the stem would lead, so reading, overwriting or removing it would show.
        const QString target =
            QDir::cleanPath(model->notesDir() + QLatin1Char('/') + stem + QStringLiteral(".rtf"));
        const bool planted = !stem.contains(QChar(0)) && writeFile(target, "VICTIM");
        t->setNoteID(stem);
        t->setNote(QStringLiteral("kept"));

        const NoteContent content = model->noteContent(t->id());
        EXPECT_EQ(content.rtf, std::nullopt);
        EXPECT_EQ(content.plain, QStringLiteral("kept"));

        model->saveNote(t->id(), kRtf, QStringLiteral("new note"));
        ASSERT_TRUE(t->noteID().has_value());
        EXPECT_NE(*t->noteID(), stem);
        EXPECT_TRUE(isSafeNoteStem(*t->noteID()));
        EXPECT_EQ(readFile(QDir(model->notesDir()).filePath(*t->noteID() + QStringLiteral(".rtf"))), kRtf);
        if (planted) {
            EXPECT_EQ(readFile(target), QByteArray("VICTIM"));
        }

        t->setNoteID(stem);
        model->saveNote(t->id(), std::nullopt, QString());
        EXPECT_EQ(t->noteID(), std::nullopt);
        EXPECT_EQ(t->note(), QString());
        if (planted) {
            EXPECT_TRUE(QFile::exists(target)) << "a clear must not remove a file outside the stem rule";
        }
    }
}

TEST(Notes, stemRuleAcceptsPlainNamesUpTo128Characters)
{
    struct Case {
        QString stem;
        bool safe;
    };
    const std::vector<Case> cases{
        {QStringLiteral("0b7e1c52-4a0e-4b59-9d3e-3f6a1d2c9e11"), true},
        {QStringLiteral("0B7E1C52-4A0E-4B59-9D3E-3F6A1D2C9E11"), true}, // the planner may write upper case
        {QStringLiteral("note one"), true},
        {QStringLiteral("caf\u00e9.v2"), true},
        {QString(128, QLatin1Char('a')), true},
        {QString(129, QLatin1Char('a')), false},
        {QStringLiteral("."), false},
        {QStringLiteral(".."), false},
        {QStringLiteral("tab\there"), false},
        {QStringLiteral("del\u007f"), false},
        {QStringLiteral("dir/"), false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(isSafeNoteStem(c.stem), c.safe) << c.stem.toStdString();
}

// The notes folder on a real small disk that turns read-only or fills up under a saved note.
TEST(NotesOnABrokenDisk, aFailedSaveKeepsTheLastGoodFileAndWritesWhatWasTypedOnceTheFolderWorks)
{
    const QByteArray second = QByteArrayLiteral("{\\rtf1 Bread {\\b and} jam\\par}");
    const QByteArray third = QByteArrayLiteral("{\\rtf1 Bread {\\b and} jam!\\par}");
    const struct {
        const char* name;
        bool planner;
        bool full;
    } cases[] = {
        {"our thing, read-only", false, false},
        {"our thing, full", false, true},
        {"planner row, read-only", true, false},
        {"planner row, full", true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::TinyDisk disk;
        if (!disk.isMounted())
            GTEST_SKIP() << disk.why().toStdString();
        ModelHarness h;
        h.manualTimers();
        h.launch.syncsToFamily = c.planner;
        h.launch.environment.insert(kNotesDirVariable, disk.filePath(QStringLiteral("notes")));
        auto model = h.start();
        RecordId id;
        const QString row = QStringLiteral("p1");
        if (c.planner) {
            SharedThing planned;
            planned.id = row;
            planned.title = QStringLiteral("from the planner");
            planned.day = model->todayISO();
            planned.sourceApp = kPlannerApp;
            model->familySync().familyStore()->upsert(planned);
            model->familySync().refresh();
        } else {
            id = addThing(*model, QStringLiteral("shopping"))->id();
        }
        const auto save = [&](const QByteArray& rtf, const QString& plain) {
            c.planner ? model->familySync().saveNote(row, rtf, plain) : model->saveNote(id, rtf, plain);
        };
        // The record as it stands: note id and plain copy; and the note as it opens.
        const auto record = [&]() -> std::pair<std::optional<QString>, QString> {
            if (c.planner)
                return {model->sharedThing(row)->noteID, model->sharedThing(row)->note};
            return {model->store().thing(id)->noteID(), model->store().thing(id)->note()};
        };
        const auto opens = [&] {
            return c.planner ? model->familySync().noteContent(row) : model->noteContent(id);
        };

        save(kRtf, QStringLiteral("Buy oat milk"));
        const std::optional<QString> stem = record().first;
        ASSERT_TRUE(stem);
        const QString file = QDir(model->notesDir()).filePath(*stem + QStringLiteral(".rtf"));
        if (c.full)
            disk.fill();
        else
            ASSERT_TRUE(disk.setReadOnly(true));

        save(second, QStringLiteral("Bread and jam"));
        EXPECT_EQ(model->toast(), QStringLiteral("Couldn't save the note."));
        EXPECT_EQ(record(), std::make_pair(stem, QStringLiteral("Buy oat milk")));
        EXPECT_EQ(readFile(file), kRtf) << "the last good file stays";
        EXPECT_EQ(opens().rtf, second);
        // Said once: more failing saves and retries say nothing more.
        h.timers->advance(h.launch.intervals.toastMSecs);
        save(third, QStringLiteral("Bread and jam!"));
        h.timers->advance(h.launch.intervals.saveRetryMSecs * 2);
        EXPECT_EQ(model->toast(), std::nullopt);

        // A restart with the disk still broken: what was typed is still there.
        model.reset();
        model = h.start();
        h.timers->advance(0);
        EXPECT_EQ(opens().rtf, third);
        EXPECT_EQ(opens().plain, QStringLiteral("Bread and jam!"));
        EXPECT_EQ(readFile(file), kRtf);

        if (c.full)
            disk.drain();
        else
            ASSERT_TRUE(disk.setReadOnly(false));
        h.timers->advance(h.launch.intervals.saveRetryMaxMSecs);
        EXPECT_EQ(readFile(file), third);
        EXPECT_EQ(record(), std::make_pair(stem, QStringLiteral("Bread and jam!")));
        EXPECT_FALSE(QFile::exists(QDir(h.launch.appDataDir).filePath(QStringLiteral("pending-notes.json"))));
    }
}
