#pragma once

#include "caldav/DavAccount.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QUrl>

#include <optional>

namespace vorn {

class Settings;

// The calendar-server account as the settings keep it. The password is never here: it lives in the
// desktop's keyring under secretKey().
struct CalendarAccount {
    QUrl url;
    QString user;
    bool allowInsecureHttp = false;      // plain http beyond loopback, after the user said yes
    QByteArray trustedCertificateSha256; // raw bytes; empty when no self-signed certificate is trusted

    // Where the keyring keeps its password: "user@scheme://host:port", one entry per origin and user.
    QString secretKey() const;
    // The protocol client's account, with the password read from the keyring.
    caldav::DavAccount davAccount(const QString& password) const;
};

// The account the settings hold; nullopt when none was set up.
std::optional<CalendarAccount> readCalendarAccount(const Settings& settings);
// Saves the account. One for another address or user clears the sync status, which was the old one's.
void writeCalendarAccount(Settings& settings, const CalendarAccount& account);
// No account any more: the settings forget it and its sync status (the keyring is the caller's).
void forgetCalendarAccount(Settings& settings);

// What the sync leaves behind for the status lines (--sync-status, Preferences, the tray).
struct CalendarSyncStatus {
    std::optional<QDateTime> lastSyncAt;    // UTC; the last sync that worked
    QString lastFailure;                    // in the app's own words; empty after a sync that worked
    std::optional<QDateTime> lastFailureAt; // UTC
};

CalendarSyncStatus readSyncStatus(const Settings& settings);
void writeSyncStatus(Settings& settings, const CalendarSyncStatus& status);
// The two things a sync says when it ends.
void recordSyncSuccess(Settings& settings, const QDateTime& at);
void recordSyncFailure(Settings& settings, const QString& failure, const QDateTime& at);

namespace calendarSyncKeys {
inline constexpr char url[] = "calendarSync.url";
inline constexpr char user[] = "calendarSync.user";
inline constexpr char allowInsecureHttp[] = "calendarSync.allowInsecureHttp";
inline constexpr char trustedCertificate[] = "calendarSync.trustedCertificate";
inline constexpr char lastSyncAt[] = "calendarSync.lastSyncAt";
inline constexpr char lastFailure[] = "calendarSync.lastFailure";
inline constexpr char lastFailureAt[] = "calendarSync.lastFailureAt";
} // namespace calendarSyncKeys

} // namespace vorn
