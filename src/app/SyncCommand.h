#pragma once

#include "app/StoreCommand.h"

#include <QString>

#include <functional>
#include <optional>

namespace vorn {

struct Launch;

// Where --sync-setup gets the password: a line of standard input, or nullopt when none came.
using PasswordSource = std::function<std::optional<QString>(const QString& prompt)>;
// One line of standard input; the typing is not echoed when that is a terminal.
std::optional<QString> readPasswordFromStdin(const QString& prompt);

struct SyncSetupRequest {
    QString url;
    QString user;
    bool allowHttp = false; // --allow-http: plain http beyond loopback, after a warning
};

// `vorn-todo --sync-setup URL --user NAME`: checks the account against the server and keeps it (the
// password in the keyring, the rest in the settings); on failure says why and keeps nothing.
CommandResult syncSetupCommand(const Launch& launch, const SyncSetupRequest& request,
                               const PasswordSource& password = readPasswordFromStdin);

// Tells the running app, if there is one, that --sync-setup kept an account.
void announceAccount(QDBusConnection bus);

// `vorn-todo --sync`: one sync with the calendar server, by the running app when there is one.
CommandResult syncCommand(const Launch& launch, QDBusConnection bus);

// `vorn-todo --sync-stop`: no more syncing; the account and its password are forgotten, the things stay.
// By the running app when there is one.
CommandResult syncStopCommand(const Launch& launch, QDBusConnection bus);

// `vorn-todo --sync-status`: the account (never its password), the last sync and the last failure.
CommandResult syncStatusCommand(const Launch& launch);

} // namespace vorn
