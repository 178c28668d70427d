#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace vorn {

// The program's own options. Settings given as "-key value" (and "-demo") are left to the start-up.
struct CommandLine {
    bool help = false;
    bool version = false;
    std::optional<QString> list; // --list NAME
    std::optional<QString> add;  // --add TITLE: a thing for Today, then exit
    bool newThing = false;       // --new-thing: the app with its add row open
    bool exportAll = false;      // --export [FILE]: every list as Markdown, to FILE or standard output
    std::optional<QString> exportFile;
    std::optional<QString> importFile; // --import FILE
    std::optional<QString> syncSetup;  // --sync-setup URL, with --user NAME (and --allow-http)
    QString syncUser;
    bool allowHttp = false;
    bool syncStatus = false; // --sync-status
    bool sync = false;       // --sync
    bool syncStop = false;   // --sync-stop
    QString error;           // set when the arguments make no sense

    static CommandLine parse(const QStringList& arguments);
    static QString usage();
};

} // namespace vorn
