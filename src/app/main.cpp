#include "app/CommandLine.h"
#include "app/ExchangeCommand.h"
#include "app/ListCommand.h"
#include "app/QuickAdd.h"
#include "app/WindowStart.h"
#include "model/Startup.h"
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

int printList(AppModel& model, const QString& name)
{
    const std::optional<Source> source = sourceNamed(model, name);
    if (!source) {
        QString said = QStringLiteral("vorn-todo: there's no list called \"") + name +
                       QStringLiteral("\". Try today, later, done-ish");
        for (Pile* p : model.piles())
            said += QStringLiteral(", ") + p->name().toLower();
        print(stderr, said + QStringLiteral(".\n"));
        return 2;
    }
    print(stdout, renderList(model, *source));
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

    const auto failed = [](const QString& why) {
        print(stderr, QStringLiteral("vorn-todo: ") + why + u'\n');
    };
    if (!cl.error.isEmpty()) {
        failed(cl.error + u'\n');
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

    if (cl.add) {
        QString error;
        const int rc = quickAdd(Launch::fromProcess(), QDBusConnection::sessionBus(), *cl.add, &error);
        if (rc != 0)
            failed(error);
        return rc;
    }

    if (cl.exportAll) {
        QString error;
        const int rc = exportCommand(Launch::fromProcess(), cl.exportFile, &error);
        if (rc != 0)
            failed(error);
        return rc;
    }
    if (cl.importFile) {
        QString report;
        const int rc =
            importCommand(Launch::fromProcess(), QDBusConnection::sessionBus(), *cl.importFile, &report);
        if (rc == 0)
            print(stdout, report + u'\n');
        else
            failed(report);
        return rc;
    }

    Launch launch = Launch::fromProcess();
    launch.readOnly = true;
    QString error;
    std::unique_ptr<Store> store = makeStore(launch, &error);
    if (!store) {
        print(stderr, QStringLiteral("Couldn't open the store: ") + error + u'\n');
        return 1;
    }
    std::unique_ptr<AppModel> model = makeModel(launch, std::move(store));
    openDemoTab(*model, launch);
    return printList(*model, *cl.list);
}
