#pragma once

#include "model/CalendarAccount.h"

#include <QDateTime>
#include <QString>

#include <optional>

namespace vorn {

class Schedule;

// How the calendar sync stands, in the words Preferences and the tray popup show.
struct SyncStatusWords {
    QString account;    // the address and user (never the password), or how to set an account up
    QString lastSynced; // "Last synced 2 minutes ago."; empty without an account
    QString failure;    // why the last sync didn't work; empty when it did (or none ran)
    QString line;       // the tray's one short line: the failure when there is one, else the last sync
};

SyncStatusWords syncStatusWords(const std::optional<CalendarAccount>& account,
                                const CalendarSyncStatus& status, const QDateTime& now,
                                const Schedule& schedule);

// A sync that moves more items than this shows how far it is; a smaller one is over before a bar could say.
inline constexpr int kSyncProgressFrom = 50;
inline bool showsSyncProgress(int done, int total)
{
    return total > kSyncProgressFrom && done < total;
}

// `then` as the status lines say it: "just now", "2 minutes ago", "yesterday".
QString sinceText(const QDateTime& then, const QDateTime& now, const Schedule& schedule);

} // namespace vorn
