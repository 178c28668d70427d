#include "app/CommandLine.h"
#include "app/ExchangeCommand.h"
#include "app/ListCommand.h"
#include "app/QuickAdd.h"
#include "app/WindowStart.h"
#include "model/Startup.h"
#include "model/StartupTrace.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

using namespace vorn;

namespace {

int printList(AppModel& model, const QString& name)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    const std::optional<Source> source = sourceNamed(model, name);
    if (!source) {
        err << "vorn-todo: there's no list called \"" << name << "\". Try today, later, done-ish";
        for (Pile* p : model.piles())
            err << ", " << p->name().toLower();
        err << ".\n";
        return 2;
    }
    out << renderList(model, *source);
    return 0;
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
        !cl.importFile)
        return runWindowApp(argc, argv, cl.newThing);

    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Vorn"));
    QCoreApplication::setApplicationName(QStringLiteral("vorn-todo"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VORN_VERSION));

    QTextStream err(stderr);
    if (!cl.error.isEmpty()) {
        err << "vorn-todo: " << cl.error << "\n\n" << CommandLine::usage();
        return 2;
    }
    if (cl.help) {
        QTextStream(stdout) << CommandLine::usage();
        return 0;
    }
    if (cl.version) {
        QTextStream(stdout) << "vorn-todo " << QCoreApplication::applicationVersion() << '\n';
        return 0;
    }

    if (cl.add) {
        QString error;
        const int rc = quickAdd(Launch::fromProcess(), QDBusConnection::sessionBus(), *cl.add, &error);
        if (rc != 0)
            err << "vorn-todo: " << error << '\n';
        return rc;
    }

    if (cl.exportAll) {
        QString error;
        const int rc = exportCommand(Launch::fromProcess(), cl.exportFile, &error);
        if (rc != 0)
            err << "vorn-todo: " << error << '\n';
        return rc;
    }
    if (cl.importFile) {
        QString report;
        const int rc =
            importCommand(Launch::fromProcess(), QDBusConnection::sessionBus(), *cl.importFile, &report);
        if (rc == 0)
            QTextStream(stdout) << report << '\n';
        else
            err << "vorn-todo: " << report << '\n';
        return rc;
    }

    Launch launch = Launch::fromProcess();
    launch.readOnly = true;
    QString error;
    std::unique_ptr<Store> store = makeStore(launch, &error);
    if (!store) {
        err << "Couldn't open the store: " << error << '\n';
        return 1;
    }
    std::unique_ptr<AppModel> model = makeModel(launch, std::move(store));
    openDemoTab(*model, launch);
    return printList(*model, *cl.list);
}
