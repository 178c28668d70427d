#include "Planner.h"

#include "family/FamilyConstants.h"
#include "family/FamilyNotifier.h"
#include "family/FamilyStore.h"
#include "family/NoteFiles.h"
#include "files/AtomicFile.h"
#include "transfer/HandoffFile.h"
#include "transfer/Transfer.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QTextStream>
#include <QTimer>
#include <QUrl>
#include <QUrlQuery>
#include <QUuid>

#include <algorithm>
#include <limits>
#include <memory>
#include <optional>

using namespace Qt::StringLiterals;

namespace vorn::planner {

namespace {

// ---- Command line ----------------------------------------------------------------------------------

struct Option {
    QLatin1StringView name;
    bool takesValue;
};

constexpr Option kOptions[] = {
    {"db"_L1, true},      {"notes"_L1, true}, {"day"_L1, true},   {"id"_L1, true},    {"count"_L1, true},
    {"timeout"_L1, true}, {"done"_L1, false}, {"json"_L1, false}, {"help"_L1, false},
};

// Accepted by every command.
constexpr QLatin1StringView kGlobalOptions[] = {"db"_L1, "notes"_L1, "help"_L1};

struct Invocation {
    QString command;
    QStringList args;
    QHash<QString, QString> values;
    QSet<QString> flags;

    bool has(const QString& flag) const { return flags.contains(flag); }
    std::optional<QString> value(const QString& name) const
    {
        const auto it = values.constFind(name);
        return it == values.constEnd() ? std::nullopt : std::optional<QString>(*it);
    }
};

class Session;
using Handler = int (*)(Session&);

struct Command {
    QLatin1StringView name;
    QLatin1StringView synopsis;
    QLatin1StringView summary;
    QLatin1StringView options; // comma-separated, besides the global ones
    int minArgs;
    int maxArgs; // -1: any number
    Handler handler;
};

// ---- Session: what every command shares ------------------------------------------------------------

class Session {
public:
    Session(const Invocation& invocation, QTextStream& output, QTextStream& errors)
        : inv(invocation), out(output), err(errors)
    {
    }

    const Invocation& inv;
    QTextStream& out;
    QTextStream& err;

    int fail(const QString& message)
    {
        err << "vorn-planner: " << message << Qt::endl;
        return kExitFailed;
    }

    int usageError(const QString& message)
    {
        err << "vorn-planner: " << message << "\nRun \"vorn-planner --help\" for the commands." << Qt::endl;
        return kExitUsage;
    }

    QString dbPath() const
    {
        if (const auto db = inv.value(QStringLiteral("db")))
            return *db;
        const QString env = qEnvironmentVariable("VORN_FAMILY_DB");
        if (!env.isEmpty())
            return env;
        return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
               QStringLiteral("/Vorn/family.db");
    }

    QString notesDir() const
    {
        if (const auto notes = inv.value(QStringLiteral("notes")))
            return *notes;
        const QString env = qEnvironmentVariable("VORN_NOTES_DIR");
        if (!env.isEmpty())
            return env;
        return QFileInfo(dbPath()).absolutePath() + QStringLiteral("/notes");
    }

    // The store, or null after saying why it didn't open.
    std::unique_ptr<FamilyStore> openStore(FamilyStore::Mode mode = FamilyStore::Mode::ReadWrite)
    {
        auto store = std::make_unique<FamilyStore>(dbPath(), mode);
        if (store->openError()) {
            fail(QStringLiteral("couldn't open the family store %1: %2").arg(dbPath(), *store->openError()));
            return nullptr;
        }
        return store;
    }

    // Tells the family that the store changed, as the planner does after each of its writes.
    void announce()
    {
        FamilyNotifier notifier;
        notifier.post();
        if (!notifier.isConnected())
            return;
        // Sending only queues the signal; a round trip to the bus makes sure it left before we exit.
        QDBusConnection::sessionBus().call(QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetId")));
    }
};

// ---- Values --------------------------------------------------------------------------------------

QString isoDay(QDate date)
{
    return QString::asprintf("%04d-%02d-%02d", date.year(), date.month(), date.day());
}

// A DAY argument: a real calendar day written YYYY-MM-DD, "today" in the local time zone, or "none".
struct DayArgument {
    bool valid = false;
    std::optional<QString> day;
};

DayArgument parseDay(const QString& text, bool allowWords = true)
{
    if (allowWords && text == QLatin1String("none"))
        return {true, std::nullopt};
    if (allowWords && text == QLatin1String("today"))
        return {true, isoDay(QDate::currentDate())};
    static const QRegularExpression pattern(QStringLiteral("^(\\d{4})-(\\d{2})-(\\d{2})$"));
    const auto match = pattern.match(text);
    if (!match.hasMatch())
        return {};
    const QDate date(match.captured(1).toInt(), match.captured(2).toInt(), match.captured(3).toInt());
    if (!date.isValid())
        return {};
    return {true, text};
}

QString badDay(const QString& text)
{
    return QStringLiteral("\"%1\" is not a day (YYYY-MM-DD, today or none)").arg(text);
}

std::optional<SharedThing> findLive(FamilyStore& store, const QString& id)
{
    for (SharedThing& thing : store.allThings()) {
        if (thing.id == id)
            return std::move(thing);
    }
    return std::nullopt;
}

// Keeps one row on one line of the listing.
QString escapeField(QString text)
{
    text.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    text.replace(QLatin1Char('\t'), QLatin1String("\\t"));
    text.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    text.replace(QLatin1Char('\r'), QLatin1String("\\r"));
    return text;
}

QJsonValue optionalJson(const std::optional<QString>& text)
{
    return text ? QJsonValue(*text) : QJsonValue(QJsonValue::Null);
}

QJsonObject toJson(const SharedThing& thing)
{
    QJsonArray steps;
    for (const SharedStep& step : thing.steps)
        steps.append(QJsonObject{{QStringLiteral("title"), step.title}, {QStringLiteral("done"), step.done}});
    return QJsonObject{
        {QStringLiteral("id"), thing.id},
        {QStringLiteral("title"), thing.title},
        {QStringLiteral("done"), thing.done},
        {QStringLiteral("day"), optionalJson(thing.day)},
        {QStringLiteral("zs"), thing.zs},
        {QStringLiteral("steps"), steps},
        {QStringLiteral("note"), thing.note},
        {QStringLiteral("noteID"), optionalJson(thing.noteID)},
        {QStringLiteral("link"), optionalJson(thing.link)},
        {QStringLiteral("sourceApp"), thing.sourceApp},
        {QStringLiteral("updatedAt"), thing.updatedAt},
    };
}

// The smallest RTF document the note reader understands: one body font at 15 pt and the text as
// paragraphs. Characters beyond ASCII go out as \uN escapes of their UTF-16 units.
QByteArray minimalRtf(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QByteArray rtf =
        "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1\n{\\fonttbl{\\f0\\fswiss Helvetica;}}\n\\f0\\fs30 ";
    for (const QChar c : std::as_const(text)) {
        const char16_t u = c.unicode();
        if (u == u'\\' || u == u'{' || u == u'}') {
            rtf += '\\';
            rtf += char(u);
        } else if (u == u'\n') {
            rtf += "\\par\n";
        } else if (u == u'\t') {
            rtf += "\\tab ";
        } else if (u >= 0x20 && u < 0x7f) {
            rtf += char(u);
        } else {
            rtf += "\\u" + QByteArray::number(static_cast<qint16>(u)) + '?';
        }
    }
    rtf += "\n}\n";
    return rtf;
}

// A path as one word of a desktop entry's Exec line, quoted only when it has to be.
QString execWord(QString path)
{
    // A literal % is written %% whether quoted or not.
    path.replace(QLatin1Char('%'), QLatin1String("%%"));
    static const QRegularExpression reserved(QStringLiteral("[\\s\"'\\\\><~|&;$*?#()`]"));
    if (!path.contains(reserved))
        return path;
    QString quoted = path;
    for (const char* c : {"\\", "\"", "`", "$"}) {
        const QString escaped = QLatin1Char('\\') + QLatin1String(c);
        quoted.replace(QLatin1String(c), escaped);
    }
    // The entry's own string escaping doubles every backslash once more.
    quoted.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString desktopEntryPath()
{
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::ApplicationsLocation);
    if (dir.isEmpty())
        return {};
    return dir + QLatin1Char('/') + kPlannerBundleID + QStringLiteral(".desktop");
}

// Opens the store, finds the live row named by the first argument, runs the edit and, when it
// succeeds, tells the family.
template <typename Edit> int editRow(Session& s, Edit edit)
{
    const auto store = s.openStore();
    if (!store)
        return kExitFailed;
    const QString& id = s.inv.args.at(0);
    const auto row = findLive(*store, id);
    if (!row)
        return s.fail(QStringLiteral("no live row with id \"%1\"").arg(id));
    const int code = edit(*store, *row);
    if (code == kExitOk)
        s.announce();
    return code;
}

// ---- Commands ------------------------------------------------------------------------------------

int cmdHelp(Session& s)
{
    s.out << usage();
    return kExitOk;
}

int cmdList(Session& s)
{
    // Reading never creates the file; a missing store lists nothing.
    const auto store = s.openStore(FamilyStore::Mode::ReadOnly);
    if (!store)
        return kExitFailed;
    const std::vector<SharedThing> things = store->allThings();
    if (s.inv.has(QStringLiteral("json"))) {
        QJsonArray rows;
        for (const SharedThing& thing : things)
            rows.append(toJson(thing));
        s.out << QString::fromUtf8(QJsonDocument(rows).toJson(QJsonDocument::Compact)) << '\n';
        return kExitOk;
    }
    for (const SharedThing& thing : things) {
        s.out << escapeField(thing.id) << '\t' << escapeField(thing.sourceApp) << '\t'
              << (thing.done ? '1' : '0') << '\t'
              << (thing.day ? escapeField(*thing.day) : QStringLiteral("-")) << '\t'
              << escapeField(thing.title) << '\n';
    }
    return kExitOk;
}

int cmdAdd(Session& s)
{
    DayArgument day{true, std::nullopt};
    if (const auto text = s.inv.value(QStringLiteral("day"))) {
        day = parseDay(*text);
        if (!day.valid)
            return s.fail(badDay(*text));
    }
    const QString id =
        s.inv.value(QStringLiteral("id")).value_or(QUuid::createUuid().toString(QUuid::WithoutBraces));
    if (id.isEmpty())
        return s.fail(QStringLiteral("an id can't be empty"));

    const auto store = s.openStore();
    if (!store)
        return kExitFailed;
    // The planner never takes over another application's row.
    if (const auto existing = findLive(*store, id); existing && existing->sourceApp != kPlannerApp)
        return s.fail(QStringLiteral("id \"%1\" belongs to a %2 row").arg(id, existing->sourceApp));

    SharedThing thing;
    thing.id = id;
    thing.title = s.inv.args.at(0);
    thing.done = s.inv.has(QStringLiteral("done"));
    thing.day = day.day;
    thing.sourceApp = kPlannerApp;
    thing.updatedAt = double(QDateTime::currentMSecsSinceEpoch()) / 1000.0;
    store->upsert(thing);
    // An unacknowledged tombstone keeps its id; the upsert then changes nothing.
    if (!findLive(*store, id))
        return s.fail(QStringLiteral("id \"%1\" is a deleted row that isn't acknowledged yet").arg(id));
    s.announce();
    s.out << id << '\n';
    return kExitOk;
}

int setDoneTo(Session& s, bool done)
{
    return editRow(s, [&](FamilyStore& store, const SharedThing& row) {
        store.setDone(row.id, done);
        return int(kExitOk);
    });
}

int cmdTick(Session& s)
{
    return setDoneTo(s, true);
}

int cmdUntick(Session& s)
{
    return setDoneTo(s, false);
}

int cmdRename(Session& s)
{
    return editRow(s, [&](FamilyStore& store, const SharedThing& row) {
        store.setTitle(row.id, s.inv.args.at(1));
        return int(kExitOk);
    });
}

int cmdDay(Session& s)
{
    const DayArgument day = parseDay(s.inv.args.at(1));
    if (!day.valid)
        return s.fail(badDay(s.inv.args.at(1)));
    return editRow(s, [&](FamilyStore& store, const SharedThing& row) {
        store.setDay(row.id, day.day);
        return int(kExitOk);
    });
}

int cmdSteps(Session& s)
{
    std::vector<SharedStep> steps;
    for (const QString& arg : s.inv.args.mid(1)) {
        const bool done = arg.startsWith(QLatin1Char('+'));
        steps.push_back({done ? arg.mid(1) : arg, done});
    }
    return editRow(s, [&](FamilyStore& store, const SharedThing& row) {
        store.setSteps(row.id, steps);
        return int(kExitOk);
    });
}

int cmdNote(Session& s)
{
    // The plain copy of a note never starts or ends with blank space.
    const QString text = s.inv.args.at(1).trimmed();
    return editRow(s, [&](FamilyStore& store, const SharedThing& row) {
        // The note id comes from the shared file; one that could name a path elsewhere is never used.
        if (row.noteID && !isSafeNoteStem(*row.noteID))
            return s.fail(QStringLiteral("row \"%1\" has the note id \"%2\", which is not a safe file name")
                              .arg(row.id, *row.noteID));
        const QDir notes(s.notesDir());
        if (text.isEmpty()) {
            if (row.noteID)
                QFile::remove(notes.filePath(*row.noteID + QStringLiteral(".rtf")));
            store.setNote(row.id, std::nullopt, QString());
            return int(kExitOk);
        }
        const QString noteID =
            row.noteID.value_or(QUuid::createUuid().toString(QUuid::WithoutBraces).toLower());
        if (!notes.mkpath(QStringLiteral(".")))
            return s.fail(QStringLiteral("couldn't create the notes folder %1").arg(notes.path()));
        if (QString why; !writeFileAtomically(notes.filePath(noteID + QStringLiteral(".rtf")),
                                              minimalRtf(text), &why, FileLinks::Refuse))
            return s.fail(QStringLiteral("couldn't write the note: %1").arg(why));
        store.setNote(row.id, noteID, text);
        return int(kExitOk);
    });
}

int cmdDelete(Session& s)
{
    return editRow(s, [](FamilyStore& store, const SharedThing& row) {
        // Our own row is simply gone; anyone else's carries our name until its owner acknowledges it.
        if (row.sourceApp == kPlannerApp)
            store.markDeleted(row.id, std::nullopt);
        else
            store.markDeleted(row.id, QString(kPlannerApp));
        return int(kExitOk);
    });
}

int cmdApplyDeletes(Session& s)
{
    const auto store = s.openStore();
    if (!store)
        return kExitFailed;
    // This stand-in keeps no copy of its rows beyond the shared file, so applying a deletion is
    // acknowledging it.
    const std::vector<QString> ids = store->deletedByOthers(kPlannerApp);
    for (const QString& id : ids) {
        store->acknowledgeDelete(id);
        s.out << id << '\n';
    }
    if (!ids.empty())
        s.announce();
    return kExitOk;
}

int cmdWatch(Session& s)
{
    std::optional<int> count;
    if (const auto text = s.inv.value(QStringLiteral("count"))) {
        bool ok = false;
        count = text->toInt(&ok);
        if (!ok || *count < 1)
            return s.usageError(
                QStringLiteral("--count wants a whole number above 0, not \"%1\"").arg(*text));
    }
    std::optional<double> timeout;
    if (const auto text = s.inv.value(QStringLiteral("timeout"))) {
        bool ok = false;
        timeout = text->toDouble(&ok);
        if (!ok || *timeout < 0 || *timeout > 86400 * 24)
            return s.usageError(QStringLiteral("--timeout wants seconds, not \"%1\"").arg(*text));
    }

    FamilyNotifier notifier;
    if (!notifier.isConnected())
        return s.fail(QStringLiteral("no session bus to watch"));

    QEventLoop loop;
    int seen = 0;
    QObject::connect(&notifier, &FamilyNotifier::changed, &loop, [&] {
        s.out << "changed" << Qt::endl;
        if (count && ++seen >= *count)
            loop.exit(kExitOk);
    });
    QTimer timer;
    if (timeout) {
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, &loop, [&] { loop.exit(count ? kExitFailed : kExitOk); });
        timer.start(int(*timeout * 1000));
    }
    // Subscribed by now: whatever is posted from here on is seen.
    s.err << "vorn-planner: watching " << kFamilyChangeNotification << Qt::endl;
    const int code = loop.exec();
    if (code != kExitOk)
        return s.fail(QStringLiteral("timed out after %1 of %2 changes").arg(seen).arg(*count));
    return kExitOk;
}

// Adds the things waiting in the hand-off file as planner rows, on `day` when given. The file is taken
// away as it is read, so opening the same URL again adds nothing twice.
int takeHandoff(Session& s, const std::optional<QString>& day)
{
    HandoffFile handoff;
    const QString type(kThingsPasteboardType);
    if (!handoff.hasType(type)) {
        s.out << "nothing handed off\n";
        return kExitOk;
    }
    // The store first: a hand-off taken with nowhere to put it would be lost.
    const auto store = s.openStore();
    if (!store)
        return kExitFailed;
    const std::optional<QByteArray> json = handoff.take(type);
    const std::optional<std::vector<TransferThing>> records =
        json ? Transfer::decode(*json) : std::optional<std::vector<TransferThing>>();
    if (!records) {
        s.out << "nothing handed off that could be read\n";
        return kExitOk;
    }

    const double now = double(QDateTime::currentMSecsSinceEpoch()) / 1000.0;
    const QDir notes(s.notesDir());
    std::vector<SharedThing> rows;
    for (const TransferThing& record : *records) {
        SharedThing row;
        row.id = QUuid::createUuid().toString(QUuid::WithoutBraces);
        row.title = record.title.trimmed();
        row.done = record.done;
        row.day = day;
        row.zs = int(std::clamp<qint64>(record.zs, 0, std::numeric_limits<int>::max()));
        for (const TransferStep& step : record.steps) {
            if (const QString title = step.title.trimmed(); !title.isEmpty())
                row.steps.push_back({title, step.done});
        }
        row.note = record.note;
        row.link = record.link;
        row.sourceApp = kPlannerApp;
        row.updatedAt = now;
        if (record.rtf && !record.rtf->isEmpty()) {
            // The note keeps its formatting in a file of its own; without the file only the plain text stays.
            const QString noteID = QUuid::createUuid().toString(QUuid::WithoutBraces).toLower();
            if (notes.mkpath(QStringLiteral(".")) &&
                writeFileAtomically(notes.filePath(noteID + QStringLiteral(".rtf")), *record.rtf, nullptr,
                                    FileLinks::Refuse))
                row.noteID = noteID;
            else
                s.err << "vorn-planner: couldn't write the note of \"" << row.title << "\"" << Qt::endl;
        }
        rows.push_back(std::move(row));
    }
    store->upsertAll(rows);
    s.announce();
    for (const SharedThing& row : rows)
        s.out << row.id << '\n';
    return kExitOk;
}

int cmdOpen(Session& s)
{
    const QString text = s.inv.args.at(0);
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || url.scheme() != QLatin1String("vornplanner"))
        return s.fail(QStringLiteral("\"%1\" is not a vornplanner: URL").arg(text));
    if (url.host() != QLatin1String("add"))
        return s.fail(QStringLiteral("the planner can't \"%1\" (only vornplanner://add)").arg(url.host()));
    const QUrlQuery query(url);
    if (query.queryItemValue(QStringLiteral("handoff")) != QLatin1String("1"))
        return s.fail(QStringLiteral("\"%1\" carries no hand-off (handoff=1)").arg(text));
    std::optional<QString> day;
    if (query.hasQueryItem(QStringLiteral("day"))) {
        const QString dayText = query.queryItemValue(QStringLiteral("day"), QUrl::FullyDecoded);
        const DayArgument parsed = parseDay(dayText, false);
        if (!parsed.valid)
            return s.fail(QStringLiteral("\"%1\" in the URL is not a day (YYYY-MM-DD)").arg(dayText));
        day = parsed.day;
    }
    return takeHandoff(s, day);
}

int cmdInstall(Session& s)
{
    const QString path = desktopEntryPath();
    if (path.isEmpty())
        return s.fail(QStringLiteral("no applications folder to install into"));
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return s.fail(QStringLiteral("couldn't create %1").arg(QFileInfo(path).absolutePath()));
    const QString entry = QStringLiteral("[Desktop Entry]\n"
                                         "Type=Application\n"
                                         "Name=Vorn Planner (stand-in)\n"
                                         "Comment=Plays the planner's side of the Vorn family\n"
                                         "Exec=%1 %u\n"
                                         "MimeType=x-scheme-handler/vornplanner;\n"
                                         "NoDisplay=true\n"
                                         "Terminal=false\n")
                              .arg(execWord(QCoreApplication::applicationFilePath()));
    if (QString why; !writeFileAtomically(path, entry.toUtf8(), &why))
        return s.fail(QStringLiteral("couldn't write %1: %2").arg(path, why));
    s.out << path << '\n';
    return kExitOk;
}

int cmdUninstall(Session& s)
{
    const QString path = desktopEntryPath();
    if (path.isEmpty())
        return s.fail(QStringLiteral("no applications folder"));
    QFile file(path);
    if (file.exists() && !file.remove())
        return s.fail(QStringLiteral("couldn't remove %1: %2").arg(path, file.errorString()));
    s.out << path << '\n';
    return kExitOk;
}

constexpr Command kCommands[] = {
    {"list"_L1, "list [--json]"_L1,
     "every live row: id, owner, done (1/0), day (- for none), title; tab-separated, with \\t "
     "\\n \\r \\\\ escaped. --json: a JSON array of whole rows"_L1,
     "json"_L1, 0, 0, cmdList},
    {"add"_L1, "add TITLE [--day DAY] [--done] [--id ID]"_L1,
     "add a planner row (a new UUID unless --id); prints its id"_L1, "day,done,id"_L1, 1, 1, cmdAdd},
    {"tick"_L1, "tick ID"_L1, "mark a row done"_L1, ""_L1, 1, 1, cmdTick},
    {"untick"_L1, "untick ID"_L1, "mark a row not done"_L1, ""_L1, 1, 1, cmdUntick},
    {"rename"_L1, "rename ID TITLE"_L1, "give a row a new title, exactly as written"_L1, ""_L1, 2, 2,
     cmdRename},
    {"day"_L1, "day ID DAY"_L1, "plan a row for DAY"_L1, ""_L1, 2, 2, cmdDay},
    {"steps"_L1, "steps ID [STEP...]"_L1,
     "replace a row's steps; a leading + marks a done step (\"+Buy\" is done \"Buy\"); "
     "no STEP clears them"_L1,
     ""_L1, 1, -1, cmdSteps},
    {"note"_L1, "note ID TEXT"_L1,
     "write TEXT as the row's note (an RTF file in the notes folder plus the plain copy); "
     "empty TEXT removes the note"_L1,
     ""_L1, 2, 2, cmdNote},
    {"delete"_L1, "delete ID"_L1,
     "delete a row: a planner row outright, anyone else's as a tombstone deleted by "
     "\"planner\" for its owner to apply"_L1,
     ""_L1, 1, 1, cmdDelete},
    {"apply-deletes"_L1, "apply-deletes"_L1,
     "acknowledge the deletions others made of planner rows; prints their ids"_L1, ""_L1, 0, 0,
     cmdApplyDeletes},
    {"watch"_L1, "watch [--count N] [--timeout SECONDS]"_L1,
     "print \"changed\" for every change broadcast; stop after N of them (status 1 if the "
     "timeout comes first) or at the timeout"_L1,
     "count,timeout"_L1, 0, 0, cmdWatch},
    {"open"_L1, "open URL"_L1,
     "take a hand-off URL (vornplanner://add?handoff=1[&day=YYYY-MM-DD]): add the things "
     "waiting in the hand-off file as planner rows (on the day when given) and print their ids; "
     "a bare vornplanner: URL as the only argument does the same"_L1,
     ""_L1, 1, 1, cmdOpen},
    {"install"_L1, "install"_L1,
     "write the com.vorn.planner desktop entry (handler of vornplanner: URLs) into the "
     "applications folder; prints its path"_L1,
     ""_L1, 0, 0, cmdInstall},
    {"uninstall"_L1, "uninstall"_L1, "remove that desktop entry; prints its path"_L1, ""_L1, 0, 0,
     cmdUninstall},
    {"help"_L1, "help"_L1, "this text"_L1, ""_L1, 0, 0, cmdHelp},
};

const Command* findCommand(const QString& name)
{
    for (const Command& command : kCommands) {
        if (name == command.name)
            return &command;
    }
    return nullptr;
}

const Option* findOption(const QString& name)
{
    for (const Option& option : kOptions) {
        if (name == option.name)
            return &option;
    }
    return nullptr;
}

struct Parsed {
    Invocation invocation;
    const Command* command = nullptr;
    QString error; // set on a usage error
};

Parsed parse(const QStringList& arguments)
{
    Parsed parsed;
    Invocation& inv = parsed.invocation;
    QStringList positionals;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& arg = arguments.at(i);
        if (optionsEnded) {
            positionals << arg;
        } else if (arg == QLatin1String("--")) {
            optionsEnded = true;
        } else if (arg == QLatin1String("-h")) {
            inv.flags.insert(QStringLiteral("help"));
        } else if (arg.startsWith(QLatin1String("--"))) {
            QString name = arg.mid(2);
            std::optional<QString> inlineValue;
            if (const qsizetype eq = name.indexOf(QLatin1Char('=')); eq >= 0) {
                inlineValue = name.mid(eq + 1);
                name.truncate(eq);
            }
            const Option* option = findOption(name);
            if (!option) {
                parsed.error = QStringLiteral("unknown option %1").arg(arg);
                return parsed;
            }
            if (!option->takesValue) {
                if (inlineValue) {
                    parsed.error = QStringLiteral("--%1 takes no value").arg(name);
                    return parsed;
                }
                inv.flags.insert(name);
            } else if (inlineValue) {
                inv.values.insert(name, *inlineValue);
            } else if (i + 1 < arguments.size()) {
                inv.values.insert(name, arguments.at(++i));
            } else {
                parsed.error = QStringLiteral("--%1 needs a value").arg(name);
                return parsed;
            }
        } else {
            positionals << arg;
        }
    }

    if (inv.has(QStringLiteral("help"))) {
        parsed.command = findCommand(QStringLiteral("help"));
        return parsed;
    }
    if (positionals.isEmpty()) {
        parsed.error = QStringLiteral("no command given");
        return parsed;
    }
    inv.command = positionals.takeFirst();
    // A desktop URL handler starts us with the URL alone.
    if (inv.command.startsWith(QLatin1String("vornplanner:"), Qt::CaseInsensitive)) {
        positionals.prepend(inv.command);
        inv.command = QStringLiteral("open");
    }
    inv.args = positionals;

    parsed.command = findCommand(inv.command);
    if (!parsed.command) {
        parsed.error = QStringLiteral("unknown command \"%1\"").arg(inv.command);
        return parsed;
    }
    const QStringList allowed = QString(parsed.command->options).split(QLatin1Char(','), Qt::SkipEmptyParts);
    auto allowedHere = [&](const QString& name) {
        return allowed.contains(name) || std::find(std::begin(kGlobalOptions), std::end(kGlobalOptions),
                                                   name) != std::end(kGlobalOptions);
    };
    QStringList named(inv.values.keyBegin(), inv.values.keyEnd());
    for (const QString& flag : std::as_const(inv.flags))
        named.append(flag);
    for (const QString& name : std::as_const(named)) {
        if (!allowedHere(name)) {
            parsed.error = QStringLiteral("%1 takes no --%2").arg(inv.command, name);
            return parsed;
        }
    }
    const auto count = inv.args.size();
    if (count < parsed.command->minArgs ||
        (parsed.command->maxArgs >= 0 && count > parsed.command->maxArgs)) {
        parsed.error = QStringLiteral("usage: vorn-planner %1").arg(parsed.command->synopsis);
        return parsed;
    }
    return parsed;
}

} // namespace

QString usage()
{
    QString text;
    QTextStream s(&text);
    s << "Usage: vorn-planner [--db PATH] [--notes DIR] COMMAND [ARGUMENTS]\n"
         "       vorn-planner vornplanner://add?handoff=1[&day=YYYY-MM-DD]\n\n"
         "A stand-in for Vorn Planner: it reads and edits the family store shared with vorn todo, writes\n"
         "note files, posts and watches the change broadcast, and takes the hand-off URL.\n\n"
         "Commands:\n";
    for (const Command& command : kCommands) {
        s << "  " << command.synopsis << '\n';
        // The summary under it, wrapped to a terminal's width.
        QString line = QStringLiteral("     ");
        for (const QString& word : QString(command.summary).split(QLatin1Char(' '))) {
            if (line.size() + 1 + word.size() > 100) {
                s << line << '\n';
                line = QStringLiteral("     ");
            }
            line += QLatin1Char(' ') + word;
        }
        s << line << '\n';
    }
    s << "\nOptions:\n"
         "  --db PATH     the family store (default: $VORN_FAMILY_DB, else "
         "$XDG_DATA_HOME/Vorn/family.db)\n"
         "  --notes DIR   the note files (default: $VORN_NOTES_DIR, else \"notes\" beside the store)\n"
         "  -h, --help    this text\n\n"
         "DAY is YYYY-MM-DD, \"today\" (in the local time zone) or \"none\". Titles, texts and ids are "
         "taken\n"
         "exactly as given; put -- before one that starts with \"-\". Every write posts "
      << kFamilyChangeNotification
      << "\non the session bus.\n"
         "The hand-off is read from "
      << HandoffFile::pathIn(QStringLiteral("$XDG_RUNTIME_DIR"))
      << " and removed.\n"
         "Exit status: 0 done, 1 failed (the reason is on stderr), 2 usage error.\n";
    return text;
}

int run(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    const Parsed parsed = parse(arguments);
    Session session(parsed.invocation, out, err);
    if (!parsed.error.isEmpty())
        return session.usageError(parsed.error);
    const int code = parsed.command->handler(session);
    out.flush();
    err.flush();
    return code;
}

} // namespace vorn::planner
