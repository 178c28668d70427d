#include "app/SyncCommand.h"

#include "app/AccountSetup.h"
#include "app/CalendarSyncRunner.h"
#include "app/InstanceService.h"
#include "caldav/DavUrl.h"
#include "model/CalendarAccount.h"
#include "model/Launch.h"
#include "model/Settings.h"
#include "secrets/SecretStore.h"

#include <QEventLoop>
#include <QTextStream>

#include <cstdio>
#include <iostream>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace vorn {

namespace {

constexpr char kNotSetUp[] = "Not set up yet: run vorn-todo --sync-setup URL --user NAME (it reads the "
                             "password from standard input), or use File > Sync with a Calendar Server… "
                             "in the window.";

// How long --sync waits for the running app's sync.
constexpr int kSyncAnswerMinutes = 15;

QString when(const QDateTime& at)
{
    return at.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm 'UTC'"));
}

} // namespace

std::optional<QString> readPasswordFromStdin(const QString& prompt)
{
    const bool terminal = isatty(STDIN_FILENO);
    termios before{};
    if (terminal) {
        QTextStream(stderr) << prompt << Qt::flush;
        tcgetattr(STDIN_FILENO, &before);
        termios quiet = before;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    std::string line;
    const bool got = bool(std::getline(std::cin, line));
    if (terminal) {
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &before);
        QTextStream(stderr) << '\n' << Qt::flush;
    }
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    if (!got && line.empty())
        return std::nullopt;
    return QString::fromStdString(line);
}

CommandResult syncSetupCommand(const Launch& launch, const SyncSetupRequest& request,
                               const PasswordSource& password)
{
    if (launch.isDemo())
        return {2, QStringLiteral("--sync-setup keeps your own account, so it doesn't go with -demo")};
    QString why;
    const std::optional<QUrl> url = calendarServerUrl(request.url, &why);
    if (!url)
        return {2, why};
    if (request.user.trimmed().isEmpty())
        return {2, QStringLiteral("--sync-setup needs a user name: --user NAME")};
    CalendarAccount account;
    account.url = *url;
    account.user = request.user.trimmed();
    account.allowInsecureHttp = request.allowHttp;
    // Refused before asking for a password that would have nowhere safe to go.
    if (const QString refused = refusedAddress(account); !refused.isEmpty())
        return {1, refused + QStringLiteral(" Use https, or say --allow-http if you trust every network "
                                            "between here and there.")};
    if (request.allowHttp && !caldav::isLoopback(account.url))
        QTextStream(stderr) << "vorn-todo: warning: " << account.url.host()
                            << " gets your password and your things unencrypted over plain http; anyone on "
                               "the way can read them.\n"
                            << Qt::flush;
    const std::optional<QString> typed =
        password(QStringLiteral("Password for %1 at %2: ").arg(account.user, account.url.host()));
    if (!typed || typed->isEmpty())
        return {2, QStringLiteral("--sync-setup reads the password from standard input, and none came")};

    const std::unique_ptr<Settings> settings = launch.standardSettings();
    secrets::SecretStore secrets;
    AccountSetup setup(*settings, secrets);
    std::optional<AccountSetupResult> result;
    QEventLoop loop;
    setup.connectAccount(account, *typed, [&result, &loop](AccountSetupResult r) {
        result = std::move(r);
        loop.quit();
    });
    if (!result)
        loop.exec();
    return {result->ok ? 0 : 1, result->said};
}

void announceAccount(QDBusConnection bus)
{
    // The account is kept either way: an app that doesn't answer finds it at its next start.
    callInstance(bus, QStringLiteral("CalendarAccountChanged"), {}, nullptr, nullptr, 5000);
}

namespace {

using RunnerCall = void (CalendarSyncRunner::*)(std::function<void(bool, const QString&)>);

// A change the running app's sync makes, or a runner of our own on the locked store: both answer when
// it is done, in words, and whether it worked (exit code 1 when not).
CommandResult runnerCommand(const Launch& launch, QDBusConnection bus, StoreChange change, RunnerCall call)
{
    // A first sync of many things can take minutes; the running app answers when it is done.
    change.answerWithinMSecs = kSyncAnswerMinutes * 60 * 1000;
    change.exitCodeOf = [](const QVariantList& reply) { return reply.value(1).toBool() ? 0 : 1; };
    bool worked = true;
    change.apply = [&launch, &worked, call](AppModel& model) {
        CalendarSyncRunner runner(model, launch);
        std::optional<QString> said;
        QEventLoop loop;
        (runner.*call)([&](bool ok, const QString& what) {
            worked = ok;
            said = what;
            loop.quit();
        });
        if (!said)
            loop.exec();
        return *said;
    };
    CommandResult result = changeStore(launch, bus, change);
    if (result.exitCode == 0 && !worked)
        result.exitCode = 1;
    return result;
}

} // namespace

CommandResult syncCommand(const Launch& launch, QDBusConnection bus)
{
    StoreChange change;
    change.refusedInDemo = QStringLiteral("--sync syncs your own lists, so it doesn't go with -demo");
    change.method = QStringLiteral("SyncCalendar");
    change.elsewhere = QStringLiteral("it syncs by itself every few minutes");
    change.tooLong = QStringLiteral("the running vorn todo is still syncing after %1 minutes; it goes on by "
                                    "itself, and vorn-todo --sync-status says how it went once it's done")
                         .arg(kSyncAnswerMinutes);
    return runnerCommand(launch, bus, std::move(change), &CalendarSyncRunner::syncNow);
}

CommandResult syncStopCommand(const Launch& launch, QDBusConnection bus)
{
    StoreChange change;
    change.refusedInDemo =
        QStringLiteral("--sync-stop forgets your own account, so it doesn't go with -demo");
    change.method = QStringLiteral("StopCalendarSync");
    change.elsewhere = QStringLiteral("use File > Sync with a Calendar Server… in its window");
    // A sync under way ends first.
    change.tooLong = QStringLiteral("the running vorn todo is still syncing after %1 minutes; it stops "
                                    "syncing once that sync is over")
                         .arg(kSyncAnswerMinutes);
    return runnerCommand(launch, bus, std::move(change), &CalendarSyncRunner::stopSyncing);
}

CommandResult syncStatusCommand(const Launch& launch)
{
    const std::unique_ptr<Settings> settings = launch.standardSettings();
    const std::optional<CalendarAccount> account = readCalendarAccount(*settings);
    if (!account)
        return {0, QString::fromUtf8(kNotSetUp)};
    QString said = QStringLiteral("Calendar server: %1 as %2\n")
                       .arg(account->url.toString(QUrl::RemoveUserInfo), account->user);
    const CalendarSyncStatus status = readSyncStatus(*settings);
    said += QStringLiteral("Last sync: ") +
            (status.lastSyncAt ? when(*status.lastSyncAt) : QStringLiteral("not yet")) + u'\n';
    if (status.lastFailure.isEmpty())
        said += QStringLiteral("Last failure: none");
    else
        said +=
            QStringLiteral("Last failure: ") + status.lastFailure +
            (status.lastFailureAt ? QStringLiteral(" (") + when(*status.lastFailureAt) + u')' : QString());
    return {0, said};
}

} // namespace vorn
