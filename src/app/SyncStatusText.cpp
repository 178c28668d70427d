#include "app/SyncStatusText.h"

#include "model/RelativeDate.h"

namespace vorn {

QString sinceText(const QDateTime& then, const QDateTime& now, const Schedule& schedule)
{
    // Under a minute (or a clock a little behind the one that wrote it) reads as now, not "in 3 seconds".
    if (then.secsTo(now) < 60)
        return QStringLiteral("just now");
    return relativeDateText(then, now, schedule);
}

SyncStatusWords syncStatusWords(const std::optional<CalendarAccount>& account,
                                const CalendarSyncStatus& status, const QDateTime& now,
                                const Schedule& schedule)
{
    SyncStatusWords w;
    if (!account) {
        w.account = QStringLiteral("Not set up yet. Set it up here, or with vorn-todo --sync-setup.");
        return w;
    }
    w.account = QStringLiteral("%1 as %2").arg(account->url.toString(QUrl::RemoveUserInfo), account->user);
    const QString synced = status.lastSyncAt ? sinceText(*status.lastSyncAt, now, schedule) : QString();
    w.lastSynced =
        status.lastSyncAt ? QStringLiteral("Last synced %1.").arg(synced) : QStringLiteral("Not synced yet.");
    if (!status.lastFailure.isEmpty()) {
        const QString when =
            status.lastFailureAt ? u' ' + sinceText(*status.lastFailureAt, now, schedule) : QString();
        w.failure = QStringLiteral("Didn't sync%1: %2").arg(when, status.lastFailure);
        // The tray has one short line: the why matters more than the when.
        w.line = QStringLiteral("Didn't sync: ") + status.lastFailure;
    } else {
        w.line =
            status.lastSyncAt ? QStringLiteral("Synced %1").arg(synced) : QStringLiteral("Not synced yet");
    }
    return w;
}

} // namespace vorn
