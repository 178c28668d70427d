#include "app/CommandLine.h"

namespace vorn {

CommandLine CommandLine::parse(const QStringList& arguments)
{
    CommandLine c;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            c.help = true;
        } else if (a == QLatin1String("--version")) {
            c.version = true;
        } else if (a == QLatin1String("--list")) {
            if (i + 1 >= arguments.size() || arguments[i + 1].startsWith(u'-')) {
                c.error =
                    QStringLiteral("--list needs a list name: today, later, done-ish or a list of yours");
                return c;
            }
            c.list = arguments[++i];
        } else if (a.startsWith(QLatin1String("--list="))) {
            c.list = a.mid(7);
        } else if (a == QLatin1String("--add")) {
            // Any next word is the title, even one starting with "-": "--add -5 degrees, take a coat".
            if (i + 1 >= arguments.size()) {
                c.error = QStringLiteral("--add needs a title, for example: --add \"call the bank\"");
                return c;
            }
            c.add = arguments[++i];
        } else if (a.startsWith(QLatin1String("--add="))) {
            c.add = a.mid(6);
        } else if (a == QLatin1String("--export")) {
            c.exportAll = true;
            // "-" is standard output, as it is for most tools.
            if (i + 1 < arguments.size() && !arguments[i + 1].startsWith(u'-'))
                c.exportFile = arguments[++i];
            else if (i + 1 < arguments.size() && arguments[i + 1] == u"-")
                ++i;
        } else if (a.startsWith(QLatin1String("--export="))) {
            c.exportAll = true;
            if (a.size() > 9 && a.mid(9) != u"-")
                c.exportFile = a.mid(9);
        } else if (a == QLatin1String("--import")) {
            if (i + 1 >= arguments.size()) {
                c.error =
                    QStringLiteral("--import needs a file: a Markdown export, a checklist or a todo.txt");
                return c;
            }
            c.importFile = arguments[++i];
        } else if (a.startsWith(QLatin1String("--import="))) {
            c.importFile = a.mid(9);
        } else if (a == QLatin1String("--sync-setup") || a == QLatin1String("--user")) {
            if (i + 1 >= arguments.size() || arguments[i + 1].startsWith(u'-')) {
                c.error = a == QLatin1String("--user")
                              ? QStringLiteral("--user needs the user name of the calendar account")
                              : QStringLiteral("--sync-setup needs the server's address, for example: "
                                               "--sync-setup https://example.org/ --user alice");
                return c;
            }
            (a == QLatin1String("--user") ? c.syncUser : c.syncSetup.emplace()) = arguments[++i];
        } else if (a == QLatin1String("--allow-http")) {
            c.allowHttp = true;
        } else if (a == QLatin1String("--sync-status")) {
            c.syncStatus = true;
        } else if (a == QLatin1String("--sync")) {
            c.sync = true;
        } else if (a == QLatin1String("--sync-stop")) {
            c.syncStop = true;
        } else if (a == QLatin1String("--new-thing")) {
            c.newThing = true;
        } else if (a.startsWith(QLatin1String("--"))) {
            c.error = QStringLiteral("unknown option %1").arg(a);
            return c;
        }
        // "-key value" settings and "-demo" belong to the start-up, not to us.
    }
    if (c.syncSetup && c.syncUser.isEmpty())
        c.error = QStringLiteral("--sync-setup needs --user NAME: the user name of the calendar account");
    else if (!c.syncSetup && (!c.syncUser.isEmpty() || c.allowHttp))
        c.error = QStringLiteral("--user and --allow-http go with --sync-setup URL");
    return c;
}

QString CommandLine::usage()
{
    return QStringLiteral(
        "Usage: vorn-todo [options]\n"
        "\n"
        "A to-do app that doesn't judge. Without options it opens its window, or brings back the one\n"
        "already open.\n"
        "\n"
        "Options:\n"
        "  --list NAME      Print one list and exit: today, later, done-ish, or one of your lists by name.\n"
        "                   Read-only: safe while the app is open.\n"
        "  --add TITLE      Add a thing to Today and exit: through the running app, or straight into the\n"
        "                   store when it isn't running. Prints nothing when it worked.\n"
        "  --export [FILE]  Write every list as one Markdown checklist to FILE (or print it) and exit:\n"
        "                   steps, snoozes, done days, snooze counts and notes' text included. Rows of\n"
        "                   Vorn Planner are the planner's and are left out. Read-only: safe while the\n"
        "                   app is open. A FILE named .ics gets every list as iCalendar to-dos instead.\n"
        "  --import FILE    Add the things of FILE and exit: an export of ours, a checklist (into Today,\n"
        "                   or the list a heading names), a todo.txt (+project picks the list, due:\n"
        "                   the day) or, named .ics, iCalendar to-dos (subtasks as steps). Goes through\n"
        "                   the running app when there is one (one undo step).\n"
        "                   Always adds; never merges into things already there.\n"
        "  --sync-setup URL --user NAME [--allow-http]\n"
        "                   Connect to a calendar server (CalDAV) for sync and exit: reads the password\n"
        "                   from standard input (one line), checks it with the server and, when that\n"
        "                   works, keeps it in the desktop's keyring (never in a file) and says what it\n"
        "                   found. https only; plain http to this machine, or anywhere with --allow-http.\n"
        "                   A running app uses the new account from its next sync.\n"
        "  --sync           Sync with the calendar server once, say what it did and exit (1 when it\n"
        "                   didn't work); through the running app when there is one, waiting for the\n"
        "                   end of its sync.\n"
        "  --sync-status    Print the calendar server account, when the last sync was and the last\n"
        "                   failure, and exit.\n"
        "  --sync-stop      Stop syncing with the calendar server and exit: forgets the account and\n"
        "                   takes its password out of the keyring. Your things stay, here and on the\n"
        "                   server. Through the running app when there is one.\n"
        "  --new-thing      Bring the app forward with a new thing's field open (starts it if needed).\n"
        "  -demo            Run on throw-away sample data (nothing is saved).\n"
        "  -demoTab NAME    With -demo: the tab to open (today, later, done-ish, random or a list name).\n"
        "  --version        Print the version and exit.\n"
        "  -h, --help       Print this help and exit.\n"
        "\n"
        "Environment:\n"
        "  VORN_NOTES_DIR   Folder for note files (default: <data folder>/Vorn/notes).\n"
        "  VORN_FAMILY_DB   With -demo: the shared family store file to use.\n");
}

} // namespace vorn
