#pragma once

#include "app/InstanceService.h"

#include <QDBusConnection>
#include <QString>
#include <QVariantList>

#include <functional>

namespace vorn {

class AppModel;
struct Launch;

// How a command-line run ends: its exit code and what it has to say, its report when it worked (on
// standard output) or why it didn't (on standard error).
struct CommandResult {
    int exitCode = 0;
    QString said;
    // A failure is said after the program's name ("vorn-todo: …"), except a store that won't open: every
    // start says that one as the window does.
    bool named = true;
};

// The one wording of a store that won't open, for the window and for every command.
QString storeUnopenedMessage(const QString& why);

// A command that only looks (--list, --export): the store opened read-only, which is safe beside the
// running app and writes nothing anywhere, and the model over it for `look`.
CommandResult readStore(const Launch& launch, const std::function<CommandResult(AppModel&)>& look);

// A command that adds to the user's things (--add, --import). The running app takes it when there is one,
// so its window and undo see it; else it goes straight into the store, under the store's lock, and the
// family file.
struct StoreChange {
    QString refusedInDemo; // a demo's store is thrown away at exit: "done" would be a lie
    // What the running app is asked over the bus; its answer (if any) is the report.
    QString method;
    QVariantList arguments;
    // Where to do it instead when the app runs but can't be reached: "add it in its window".
    QString elsewhere;
    // How long the running app may take to answer, and what to say when it took longer.
    int answerWithinMSecs = kInstanceAnswerMSecs;
    QString tooLong;
    // The exit code the running app's answer stands for; 0 when not given.
    std::function<int(const QVariantList& reply)> exitCodeOf;
    // The change itself on the model of the locked store; answers the report.
    std::function<QString(AppModel&)> apply;
};
CommandResult changeStore(const Launch& launch, QDBusConnection bus, const StoreChange& change);

} // namespace vorn
