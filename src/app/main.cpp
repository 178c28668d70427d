#include "app/CommandLine.h"
#include "app/ExchangeCommand.h"
#include "app/ListCommand.h"
#include "app/QuickAdd.h"
#include "app/SyncCommand.h"
#include "app/WindowStart.h"
#include "model/Launch.h"
#include "model/StartupTrace.h"
#include "text/Printable.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

using namespace vorn;

namespace {

// What we print holds words of the user's, of a file's or of the planner's: none of their control
// characters reaches the terminal, so no escape sequence can retitle it or ring its bell.
void print(FILE* stream, const QString& text)
{
    QTextStream(stream) << printable(text);
}

CommandResult printList(AppModel& model, const QString& name)
{
    const std::optional<Source> source = sourceNamed(model, name);
    if (!source) {
        QString said = QStringLiteral("there's no list called \"") + name +
                       QStringLiteral("\". Try today, later, done-ish");
        for (Pile* p : model.piles())
            said += QStringLiteral(", ") + p->name().toLower();
        return {2, said + u'.'};
    }
    print(stdout, renderList(model, *source));
    return {};
}

// A report goes to standard output, a failure to standard error; the exit code is the command's.
int finish(const CommandResult& result)
{
    if (result.exitCode == 0) {
        if (!result.said.isEmpty())
            print(stdout, result.said + u'\n');
    } else {
        print(stderr, (result.named ? QStringLiteral("vorn-todo: ") : QString()) + result.said + u'\n');
    }
    return result.exitCode;
}

} // namespace

int main(int argc, char** argv)
{
    traceStartup("main");
    ignoreRelativeXdgFolders();
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const CommandLine cl = CommandLine::parse(arguments);
    // A plain start opens the window; everything else is a command-line mode that needs no display.
    if (cl.error.isEmpty() && !cl.help && !cl.version && !cl.list && !cl.add && !cl.exportAll &&
        !cl.importFile && !cl.syncSetup && !cl.syncStatus && !cl.sync && !cl.syncStop)
        return runWindowApp(argc, argv, cl.newThing);

    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Vorn"));
    QCoreApplication::setApplicationName(QStringLiteral("vorn-todo"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VORN_VERSION));

    if (!cl.error.isEmpty()) {
        finish({2, cl.error + u'\n'});
        print(stderr, CommandLine::usage());
        return 2;
    }
    if (cl.help) {
        print(stdout, CommandLine::usage());
        return 0;
    }
    if (cl.version) {
        print(stdout, QStringLiteral("vorn-todo ") + QCoreApplication::applicationVersion() + u'\n');
        return 0;
    }

    const Launch launch = Launch::fromProcess();
    if (cl.add)
        return finish(quickAdd(launch, QDBusConnection::sessionBus(), *cl.add));
    if (cl.exportAll)
        return finish(exportCommand(launch, cl.exportFile));
    if (cl.importFile)
        return finish(importCommand(launch, QDBusConnection::sessionBus(), *cl.importFile));
    if (cl.syncSetup) {
        const CommandResult kept = syncSetupCommand(launch, {*cl.syncSetup, cl.syncUser, cl.allowHttp});
        if (kept.exitCode == 0)
            announceAccount(QDBusConnection::sessionBus());
        return finish(kept);
    }
    if (cl.syncStatus)
        return finish(syncStatusCommand(launch));
    if (cl.sync)
        return finish(syncCommand(launch, QDBusConnection::sessionBus()));
    if (cl.syncStop)
        return finish(syncStopCommand(launch, QDBusConnection::sessionBus()));
    return finish(readStore(launch, [&launch, &cl](AppModel& model) {
        openDemoTab(model, launch);
        return printList(model, *cl.list);
    }));
}
