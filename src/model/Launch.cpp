#include "model/Launch.h"

#include "model/Constants.h"
#include "model/Logging.h"
#include "model/StartupTrace.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>
#include <unistd.h>

namespace vorn {

Launch Launch::fromProcess()
{
    return fromProcess(QCoreApplication::arguments());
}

Launch Launch::fromProcess(QStringList arguments)
{
    Launch l;
    l.arguments = std::move(arguments);
    l.environment = QProcessEnvironment::systemEnvironment();
    l.clock = clockOrSystem(nullptr);
    l.appDataDir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    l.sharedDataDir =
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Vorn");
    l.tempDir = QDir::tempPath();
    l.settingsPath = Settings::standardPath();
    l.rescueFolders = {QStandardPaths::writableLocation(QStandardPaths::CacheLocation),
                       QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) +
                           QStringLiteral("/vorn-todo"),
                       QDir::tempPath() + QStringLiteral("/vorn-todo-%1").arg(::getuid())};
    l.rescueFolders.removeAll(QString());
    return l;
}

QStringList Launch::rescuePaths() const
{
    const QString store = storePath();
    if (store == QLatin1String(":memory:"))
        return {};
    // Named after the store, so two stores (another XDG_DATA_HOME) never take each other's rescue.
    const QString name = QStringLiteral("store-rescue-%1.sqlite")
                             .arg(QString::fromLatin1(
                                 QCryptographicHash::hash(QFile::encodeName(store), QCryptographicHash::Sha1)
                                     .toHex()
                                     .left(12)));
    QStringList paths;
    for (const QString& folder : rescueFolders) {
        if (!folder.isEmpty() && QDir::isAbsolutePath(folder))
            paths << QDir(folder).filePath(name);
    }
    return paths;
}

void ignoreRelativeXdgFolders()
{
    for (const char* name :
         {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME", "XDG_RUNTIME_DIR"}) {
        if (qEnvironmentVariableIsSet(name) && !QDir::isAbsolutePath(qEnvironmentVariable(name)))
            qunsetenv(name);
    }
    for (const char* name : {"XDG_DATA_DIRS", "XDG_CONFIG_DIRS"}) {
        if (!qEnvironmentVariableIsSet(name))
            continue;
        QStringList folders = qEnvironmentVariable(name).split(u':', Qt::SkipEmptyParts);
        folders.removeIf([](const QString& f) { return !QDir::isAbsolutePath(f); });
        if (folders.isEmpty())
            qunsetenv(name);
        else
            qputenv(name, QFile::encodeName(folders.join(u':')));
    }
}

LastSave saveOrRescue(Store& store, const Launch& launch, QString* message)
{
    QString why;
    if (store.save(&why))
        return LastSave::saved;
    QStringList failures;
    for (const QString& path : launch.rescuePaths()) {
        QString rescueError;
        if (store.writeRescue(path, &rescueError)) {
            *message = QStringLiteral("Couldn't save your things (%1). Everything is kept in %2; the next "
                                      "start puts it back.")
                           .arg(why, QDir::toNativeSeparators(path));
            return LastSave::rescued;
        }
        failures << rescueError;
    }
    *message = QStringLiteral("Couldn't save your things (%1), and couldn't keep them anywhere else%2.")
                   .arg(why, failures.isEmpty() ? QString() : QStringLiteral(": ") + failures.join(u"; "));
    return LastSave::lost;
}

bool Launch::isDemo() const
{
    return arguments.contains(kDemoArgument);
}

bool Launch::underTestHarness() const
{
    return environment.contains(kTestHarnessVariable);
}

QString Launch::storePath() const
{
    if (isDemo() || underTestHarness())
        return QStringLiteral(":memory:");
    return QDir(appDataDir).filePath(QStringLiteral("store.sqlite"));
}

QString Launch::storeLockPath() const
{
    const QString store = storePath();
    return store == QLatin1String(":memory:") ? QString() : store + QStringLiteral(".lock");
}

QString Launch::notesDir() const
{
    const QString fromEnvironment = environment.value(kNotesDirVariable);
    return fromEnvironment.isEmpty() ? QDir(sharedDataDir).filePath(QStringLiteral("notes"))
                                     : fromEnvironment;
}

QString Launch::demoFolder() const
{
    return QDir(tempDir).filePath(
        QStringLiteral("vorn-todo-demo-%1").arg(QCoreApplication::applicationPid()));
}

QString Launch::familyStorePath() const
{
    if (isDemo()) {
        const QString fromEnvironment = environment.value(kFamilyDbVariable);
        return fromEnvironment.isEmpty() ? QDir(demoFolder()).filePath(QStringLiteral("family.db"))
                                         : fromEnvironment;
    }
    return QDir(sharedDataDir).filePath(QStringLiteral("family.db"));
}

QDateTime Launch::now() const
{
    return clockOrSystem(clock)->now();
}

std::unique_ptr<Settings> Launch::standardSettings() const
{
    return std::make_unique<Settings>(settingsPath, parseArgumentDomain(arguments));
}

std::unique_ptr<Store> makeStore(const Launch& launch, QString* error, Timers* timers)
{
    const Store::Mode mode = launch.readOnly ? Store::Mode::ReadOnly : Store::Mode::ReadWrite;
    std::unique_ptr<Store> store = Store::open(launch.storePath(), error, mode);
    if (store && timers)
        store->useTimers(*timers);
    if (store && !launch.isDemo()) {
        // The newest rescue wins; the others are older than it and go once it is written back.
        QStringList rescues = launch.rescuePaths();
        rescues.removeIf([](const QString& p) { return !QFileInfo(p).isFile(); });
        std::sort(rescues.begin(), rescues.end(), [](const QString& a, const QString& b) {
            return QFileInfo(a).lastModified() > QFileInfo(b).lastModified();
        });
        for (const QString& rescue : rescues) {
            QString why;
            if (store->adoptRescue(rescue, &why))
                break;
            if (!why.isEmpty())
                qCWarning(lcStartup) << "couldn't read the rescue file" << rescue << why;
        }
    }
    if (store && launch.isDemo())
        insertSampleData(*store, launch.schedule.value_or(Schedule()), launch.now());
    return store;
}

std::unique_ptr<AppModel> makeModel(const Launch& launch, std::unique_ptr<Store> store)
{
    ModelInit init;
    static_cast<ModelRuntime&>(init) = launch;
    init.clock = clockOrSystem(launch.clock);
    init.store = std::move(store);
    init.notesDir = launch.notesDir();
    // Beside the store: a note the notes folder refused survives a restart. A demo's store is thrown away.
    if (!launch.readOnly && !launch.isDemo() && !launch.appDataDir.isEmpty())
        init.pendingNotesPath = QDir(launch.appDataDir).filePath(QStringLiteral("pending-notes.json"));

    if (launch.isDemo()) {
        if (!launch.readOnly) {
            QDir().mkpath(launch.demoFolder());
            // Each demo starts from fresh settings.
            Settings::removeSuite(kDemoSettingsSuite);
            // Launch arguments still override it, as they do the standard store.
            init.settings = Settings::suite(kDemoSettingsSuite, parseArgumentDomain(launch.arguments));
        }
        if (!init.settings)
            init.settings = launch.standardSettings();
    } else {
        init.settings = launch.standardSettings();
    }

    // A demo shows its planner row even under a test harness, which otherwise keeps off the family.
    init.syncsToFamily = launch.syncsToFamily.value_or(launch.isDemo() || !launch.underTestHarness());
    if (init.syncsToFamily) {
        // The family file's times come from the model's own clock.
        FamilyStore::Clock now = [clock = init.clock] { return clock->now(); };
        if (!launch.readOnly) {
            init.familyStore =
                std::make_unique<FamilyStore>(launch.familyStorePath(), FamilyStore::Mode::ReadWrite, now);
            if (launch.useSessionBus)
                init.notifier = std::make_unique<FamilyNotifier>();
        } else if (launch.isDemo() && !launch.environment.contains(kFamilyDbVariable)) {
            // A look at the demo keeps its planner row in memory, away from any file.
            init.familyStore =
                std::make_unique<FamilyStore>(QStringLiteral(":memory:"), FamilyStore::Mode::ReadWrite, now);
        } else {
            init.familyStore =
                std::make_unique<FamilyStore>(launch.familyStorePath(), FamilyStore::Mode::ReadOnly, now);
        }
        if (init.familyStore && init.familyStore->openError())
            qCWarning(lcStartup) << "running without the family:" << *init.familyStore->openError();
    }

    auto model = std::make_unique<AppModel>(std::move(init));
    if (launch.isDemo())
        addDemoPlannerRow(*model, launch);
    return model;
}

std::unique_ptr<AppModel> openModel(const Launch& launch, QString* error)
{
    std::unique_ptr<Store> store = makeStore(launch, error);
    if (!store)
        return nullptr;
    traceStartup("store open");
    return makeModel(launch, std::move(store));
}

void addDemoPlannerRow(AppModel& model, const Launch& launch)
{
    FamilyStore* family = model.familySync().familyStore();
    if (!family || !family->isOpen() || (launch.readOnly && launch.environment.contains(kFamilyDbVariable)))
        return;
    SharedThing row;
    row.id = QStringLiteral("demo-planner-1");
    row.title = QStringLiteral("book flights (from planner)");
    row.day = model.todayISO();
    row.sourceApp = kPlannerApp;
    family->upsert(row);
    model.familySync().refresh();
}

void openDemoTab(AppModel& model, const Launch& launch)
{
    if (!launch.isDemo())
        return;
    for (Thing* t : model.allThings()) {
        if (!t->steps().empty())
            model.setExpanded(*t, true);
    }

    const std::optional<QString> wanted = launch.standardSettings()->stringValue(kDemoTabKey);
    if (!wanted)
        return;
    const QString name = wanted->toLower();
    if (name == QLatin1String("random")) {
        model.setTab(Tab::random());
        return;
    }
    for (TodoList list : kAllTodoLists) {
        if (model.title(Source::list(list)) == name) {
            model.setTab(Tab::list(list));
            return;
        }
    }
    for (Pile* p : model.piles()) {
        if (p->name().toLower() == name) {
            model.setTab(Tab::pile(p->id()));
            return;
        }
    }
}

} // namespace vorn
