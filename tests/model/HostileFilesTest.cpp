#include "model/Constants.h"
#include "store/Database.h"
#include "support/ModelHarness.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <linux/capability.h>
#include <sqlite3.h>
#include <sys/syscall.h>
#include <unistd.h>

using namespace vorn;
using vorn::test::ModelHarness;

namespace {

// Root reads a file of mode 000 all the same; without these two capabilities this thread (and the
// threads it starts, such as the family store's queue) cannot.
class WithoutReadOverride {
public:
    WithoutReadOverride()
    {
        if (syscall(SYS_capget, &m_header, m_saved) != 0)
            return;
        __user_cap_data_struct lowered[2] = {m_saved[0], m_saved[1]};
        lowered[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        m_lowered = syscall(SYS_capset, &m_header, lowered) == 0;
    }
    ~WithoutReadOverride()
    {
        if (m_lowered)
            syscall(SYS_capset, &m_header, m_saved);
    }
    WithoutReadOverride(const WithoutReadOverride&) = delete;
    WithoutReadOverride& operator=(const WithoutReadOverride&) = delete;

private:
    __user_cap_header_struct m_header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct m_saved[2]{};
    bool m_lowered = false;
};

// What a file is on disk, without following a link.
struct Snapshot {
    bool exists = false;
    bool isDir = false;
    QString linkTarget;
    QByteArray bytes;
    QDateTime modified;
    bool operator==(const Snapshot&) const = default;
};

Snapshot snapshot(const QString& path)
{
    const QFileInfo info(path);
    Snapshot s;
    s.exists = info.exists() || info.isSymLink();
    s.isDir = info.isDir();
    s.linkTarget = info.isSymLink() ? info.symLinkTarget() : QString();
    if (info.isFile() && !info.isSymLink()) {
        QFile f(path);
        if (f.open(QIODevice::ReadOnly))
            s.bytes = f.readAll();
        s.modified = info.lastModified();
    }
    return s;
}

enum class Kind { Store, Family, Settings, Note };
enum class Variant { Empty, Truncated, Folder, DevZero, Unreadable, Newer };

const char* name(Variant v)
{
    switch (v) {
    case Variant::Empty:
        return "empty";
    case Variant::Truncated:
        return "truncated";
    case Variant::Folder:
        return "folder";
    case Variant::DevZero:
        return "link to /dev/zero";
    case Variant::Unreadable:
        return "unreadable";
    case Variant::Newer:
        return "newer version";
    }
    return "";
}

void sql(const QString& path, const char* statement)
{
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, statement, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

// One start of the app as the app itself starts: a harness whose four files were made by the app.
class HostileFilesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_made = new ModelHarness;
        ModelHarness& h = *s_made;
        h.launch.syncsToFamily = true;
        h.launch.environment.insert(kNotesDirVariable, h.dir.filePath(QStringLiteral("notes")));
        auto model = h.start();
        ASSERT_TRUE(model);
        // Enough things for both database files to span many pages.
        for (int i = 0; i < 300; ++i)
            model->add(QStringLiteral("thing %1 with a title long enough to fill pages").arg(i),
                       Source::today);
        Thing* first = model->allThings().front();
        model->saveNote(first->id(), QByteArray("{\\rtf1\\ansi a note\\par}"), QStringLiteral("a note"));
        s_noteStem = *first->noteID();
        model->setFloats(false);
        ASSERT_TRUE(model->store().save());
        model.reset();
    }
    static void TearDownTestSuite()
    {
        delete s_made;
        s_made = nullptr;
    }

    static QString pathOf(const ModelHarness& h, Kind kind)
    {
        switch (kind) {
        case Kind::Store:
            return h.launch.storePath();
        case Kind::Family:
            return h.launch.familyStorePath();
        case Kind::Settings:
            return h.launch.settingsPath;
        case Kind::Note:
            return QDir(h.launch.notesDir()).filePath(s_noteStem + QStringLiteral(".rtf"));
        }
        return {};
    }

    // A fresh home holding copies of the app's files, `kind`'s made hostile.
    std::unique_ptr<ModelHarness> home(Kind kind, Variant variant, qint64 cutAt)
    {
        auto h = std::make_unique<ModelHarness>();
        h->launch.syncsToFamily = true;
        h->launch.environment.insert(kNotesDirVariable, h->dir.filePath(QStringLiteral("notes")));
        for (Kind k : {Kind::Store, Kind::Family, Kind::Settings, Kind::Note}) {
            QDir().mkpath(QFileInfo(pathOf(*h, k)).absolutePath());
            EXPECT_TRUE(QFile::copy(pathOf(*s_made, k), pathOf(*h, k)));
        }
        const QString path = pathOf(*h, kind);
        QFile original(path);
        EXPECT_TRUE(original.open(QIODevice::ReadOnly));
        const QByteArray bytes = original.readAll();
        original.close();
        switch (variant) {
        case Variant::Empty:
            writeFile(path, {});
            break;
        case Variant::Truncated:
            writeFile(path, bytes.left(cutAt));
            break;
        case Variant::Folder:
            QFile::remove(path);
            QDir().mkpath(path + QStringLiteral("/inside"));
            break;
        case Variant::DevZero:
            QFile::remove(path);
            EXPECT_TRUE(QFile::link(QStringLiteral("/dev/zero"), path));
            break;
        case Variant::Unreadable:
            QFile::setPermissions(path, {});
            break;
        case Variant::Newer:
            if (kind == Kind::Store)
                sql(path,
                    QByteArray("PRAGMA user_version = " + QByteArray::number(Database::kSchemaVersion + 1))
                        .constData());
            else if (kind == Kind::Family)
                sql(path,
                    "ALTER TABLE things ADD COLUMN colour TEXT DEFAULT 'teal'; PRAGMA user_version = 7");
            else if (kind == Kind::Settings)
                writeFile(path, R"({"focus.floats": {"v2": false}, "someday.feature": [1, 2]})");
            else
                writeFile(path, "{\\rtf1\\ansi\\vornfuture2 a note from later\\par}");
            break;
        }
        return h;
    }

    // Starts the app on `kind` made hostile; checks what it made of it and that the file is as it was.
    void startOn(Kind kind, Variant variant, qint64 cutAt = 0)
    {
        SCOPED_TRACE(::testing::Message() << name(variant) << " at " << cutAt);
        auto h = home(kind, variant, cutAt);
        const QString path = pathOf(*h, kind);
        const Snapshot before = snapshot(path);

        std::optional<WithoutReadOverride> unreadable;
        if (variant == Variant::Unreadable) {
            unreadable.emplace();
            if (QFile f(path); f.open(QIODevice::ReadOnly)) {
                unreadable.reset();
                GTEST_SKIP()
                    << "this process reads a file of mode 000 (root with capabilities it can't drop)";
            }
        }
        QString error;
        std::unique_ptr<Store> store = makeStore(h->launch, &error);
        std::unique_ptr<AppModel> model;
        if (store) {
            store->setAutosaveDelay(0);
            model = makeModel(h->launch, std::move(store));
        }
        outcome(kind, variant, model.get(), error);
        // A setting changed by hand must not put a file of ours in place of a folder or a device.
        if (model && kind == Kind::Settings && (variant == Variant::Folder || variant == Variant::DevZero))
            model->setFloats(true);
        model.reset(); // flushes the store and the family mirror
        unreadable.reset();

        // An empty file holds nothing to lose: the app makes it its own.
        if (variant == Variant::Empty && kind != Kind::Note)
            return;
        if (kind == Kind::Settings && variant == Variant::Newer) {
            // A readable settings file is the app's to write at each start; what it doesn't know stays.
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::ReadOnly));
            const QJsonObject after = QJsonDocument::fromJson(f.readAll()).object();
            EXPECT_EQ(after.value(QStringLiteral("focus.floats")),
                      QJsonObject({{QStringLiteral("v2"), false}}));
            EXPECT_EQ(after.value(QStringLiteral("someday.feature")), QJsonArray({1, 2}));
            return;
        }
        EXPECT_EQ(snapshot(path), before) << "the file was changed";
    }

    void outcome(Kind kind, Variant variant, AppModel* model, const QString& error)
    {
        if (kind == Kind::Store) {
            if (variant == Variant::Empty) {
                ASSERT_TRUE(model) << error.toStdString();
                EXPECT_TRUE(model->allThings().empty());
            } else {
                EXPECT_FALSE(model) << "a store that isn't whole is not used";
                EXPECT_FALSE(error.isEmpty());
                if (variant == Variant::Newer) {
                    EXPECT_TRUE(error.contains(QStringLiteral("newer version"))) << error.toStdString();
                }
                if (variant == Variant::Truncated) {
                    EXPECT_TRUE(error.contains(QStringLiteral("cut short"))) << error.toStdString();
                }
            }
            return;
        }
        ASSERT_TRUE(model) << error.toStdString();
        EXPECT_EQ(model->allThings().size(), 300u) << "the local things are all there";
        if (kind == Kind::Family) {
            FamilyStore* family = model->familySync().familyStore();
            ASSERT_TRUE(family);
            const bool usable = variant == Variant::Empty || variant == Variant::Newer;
            EXPECT_EQ(family->isOpen(), usable) << family->openError().value_or(QString()).toStdString();
            EXPECT_EQ(family->openError().has_value(), !usable);
        } else if (kind == Kind::Settings) {
            // A file that can't be read falls back to the defaults (floats is on unless false is stored).
            EXPECT_TRUE(model->floats());
        } else {
            Thing* noted = nullptr;
            for (Thing* t : model->allThings())
                noted = t->noteID() ? t : noted;
            ASSERT_TRUE(noted);
            const NoteContent note = model->noteContent(noted->id());
            EXPECT_EQ(note.plain, QStringLiteral("a note")) << "the plain copy is always there";
            const bool hasFile =
                variant == Variant::Empty || variant == Variant::Truncated || variant == Variant::Newer;
            EXPECT_EQ(note.rtf.has_value(), hasFile);
        }
    }

    // Every variant, truncation at every 4 KiB boundary of the real file (and halfway for a small one).
    void everyVariant(Kind kind)
    {
        const qint64 size = QFileInfo(pathOf(*s_made, kind)).size();
        ASSERT_GT(size, 0);
        std::vector<qint64> cuts;
        for (qint64 at = 4096; at < size; at += 4096)
            cuts.push_back(at);
        if (cuts.empty())
            cuts.push_back(size / 2);
        for (Variant v : {Variant::Empty, Variant::Folder, Variant::DevZero, Variant::Newer})
            startOn(kind, v);
        for (qint64 at : cuts)
            startOn(kind, Variant::Truncated, at);
        // Last: it may skip where mode 000 can't be made to count.
        startOn(kind, Variant::Unreadable);
    }

    static inline ModelHarness* s_made = nullptr;
    static inline QString s_noteStem;
};

} // namespace

TEST_F(HostileFilesTest, theStoreFile)
{
    everyVariant(Kind::Store);
}

TEST_F(HostileFilesTest, theFamilyFile)
{
    everyVariant(Kind::Family);
}

TEST_F(HostileFilesTest, theSettingsFile)
{
    everyVariant(Kind::Settings);
}

TEST_F(HostileFilesTest, aNoteFile)
{
    everyVariant(Kind::Note);
}
