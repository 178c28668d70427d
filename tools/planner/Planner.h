#pragma once

#include <QString>
#include <QStringList>

class QTextStream;

namespace vorn::planner {

// What every command returns to the shell.
enum ExitCode : int {
    kExitOk = 0,
    kExitFailed = 1, // the command ran and failed; the reason is on stderr
    kExitUsage = 2,  // the command line itself was wrong
};

// Runs one command line (the arguments after the program name). Needs a QCoreApplication: posting and
// watching use the session bus and the event loop.
int run(const QStringList& arguments, QTextStream& out, QTextStream& err);

// The --help text.
QString usage();

} // namespace vorn::planner
