#include "app/ExchangeCommand.h"

#include "app/InstanceService.h"
#include "app/StoreLock.h"
#include "files/AtomicFile.h"
#include "model/ModelExchange.h"
#include "model/Startup.h"
#include "text/Printable.h"
#include "transfer/exchange/MarkdownExport.h"

#include <QTextStream>

namespace vorn {

namespace {

// -1: nobody is running; else the exit code, with the running app's answer in `report`.
int importThroughInstance(QDBusConnection bus, const QString& text, bool todoTxt, QString* report)
{
    QString why;
    QVariantList reply;
    switch (callInstance(bus, QStringLiteral("Import"), {text, todoTxt}, &why, &reply)) {
    case InstanceAnswer::done:
        *report = reply.isEmpty() ? QString() : reply.first().toString();
        return 0;
    case InstanceAnswer::failed:
        *report = QStringLiteral("the running vorn todo didn't take it: ") + why;
        return 1;
    case InstanceAnswer::noInstance:
        break;
    }
    return -1;
}

} // namespace

QString exportMarkdown(const AppModel& model)
{
    return writeMarkdown(exportLists(model));
}

bool writeExportFile(const QString& path, const QString& text, QString* error)
{
    // The old file stays whole when the new one can't be written all the way to the disk.
    if (QString why; !writeFileAtomically(path, text.toUtf8(), &why)) {
        *error = QStringLiteral("Couldn't write %1: %2.").arg(path, why);
        return false;
    }
    return true;
}

int exportCommand(const Launch& readOnlyLaunch, const std::optional<QString>& file, QString* error)
{
    Launch launch = readOnlyLaunch;
    launch.readOnly = true;
    QString why;
    std::unique_ptr<Store> store = makeStore(launch, &why);
    if (!store) {
        *error = QStringLiteral("Couldn't open the store: ") + why;
        return 1;
    }
    std::unique_ptr<AppModel> model = makeModel(launch, std::move(store));
    const QString text = exportMarkdown(*model);
    if (!file) {
        // The document is control-free as written; what reaches a terminal is so whatever the notes held.
        QTextStream(stdout) << printable(text);
        return 0;
    }
    return writeExportFile(*file, text, error) ? 0 : 1;
}

int importCommand(const Launch& launch, QDBusConnection bus, const QString& path, QString* report)
{
    const ImportFile file = readImportFile(path);
    if (!file.text) {
        *report = file.error;
        return 1;
    }
    // A demo's store is thrown away at exit: "imported" would be a lie.
    if (launch.storeLockPath().isEmpty()) {
        *report = QStringLiteral("--import writes your own lists, so it doesn't go with -demo");
        return 2;
    }
    // The running app gets the words, checked here, rather than a path it may see differently.
    const QString& content = file.content;
    const bool todoTxt = file.text->format == ImportText::Format::todoTxt;
    std::unique_ptr<QLockFile> lock;
    const std::optional<int> answered = throughAppOrLockedStore(
        launch, bus, [&] { return importThroughInstance(bus, content, todoTxt, report); }, lock);
    if (answered == 1 && report->isEmpty())
        *report = QStringLiteral("vorn todo is running and can't be reached over the session bus; use File > "
                                 "Import… in its window");
    if (answered)
        return *answered;
    QString why;
    std::unique_ptr<Store> store = makeStore(launch, &why);
    if (!store) {
        *report = QStringLiteral("Couldn't open the store: ") + why;
        return 1;
    }
    Store* opened = store.get();
    std::unique_ptr<AppModel> model = makeModel(launch.withoutWindow(), std::move(store));
    const ImportOutcome outcome = importLists(*model, *file.text);
    if (opened->hasChanges() && !opened->save(&why)) {
        *report = QStringLiteral("couldn't save: ") + why;
        return 1;
    }
    *report = describeImport(outcome);
    // Releasing the model mirrors the new things into the family file before we exit.
    model.reset();
    return 0;
}

} // namespace vorn
