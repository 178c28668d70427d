#pragma once

#include "model/Entities.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QTimeZone>

#include <optional>

namespace vorn {

// The day rules: which built-in list a thing is in, when each snooze wakes, and how a wake time is
// worded. All of them count local calendar days (Gregorian) in one time zone. A day there may last 23
// or 25 hours or begin after midnight, so nothing here reaches another day by adding fixed hours.
// Inputs may be in any zone and are compared as instants; every QDateTime returned is in UTC.
class Schedule {
public:
    explicit Schedule(QTimeZone zone = QTimeZone::systemTimeZone(), QLocale locale = QLocale::system());

    const QTimeZone& timeZone() const { return m_zone; }
    const QLocale& locale() const { return m_locale; }

    // Done wins over snoozed; a snooze that wakes at `now` or earlier is back in Today.
    TodoList list(const std::optional<QDateTime>& doneAt, const std::optional<QDateTime>& snoozedUntil,
                  const QDateTime& now) const;
    // The instant at which a thing snoozed at `from` with `option` wakes.
    QDateTime wakeDate(SnoozeOption option, const QDateTime& from) const;
    // Short lower-case wording of a wake time: "someday", "tonight-ish", "tomorrow", a weekday or a date.
    QString wakeLabel(const QDateTime& wake, const QDateTime& now) const;
    // Title of the Later-list section that a wake time falls in.
    QString laterSection(const QDateTime& wake, const QDateTime& now) const;

    // First instant of t's local day (not always 00:00: some zones skip midnight).
    QDateTime startOfDay(const QDateTime& t) const;
    // First instant of the local day after t's.
    QDateTime startOfTomorrow(const QDateTime& t) const;
    // The same wall-clock time `days` calendar days away. A time the clocks skip that day moves on by
    // the skipped span; a time they show twice gives its first occurrence.
    QDateTime addDays(const QDateTime& t, int days) const;
    bool isSameDay(const QDateTime& a, const QDateTime& b) const;
    // t's local day as "yyyy-mm-dd", the day format the family store shares.
    QString dayText(const QDateTime& t) const;
    // Start of the day written in `text`: three hyphen-separated integers (year, month, day); empty and
    // non-numeric pieces are ignored. Nothing for any other count or for a date the calendar lacks.
    std::optional<QDateTime> isoDay(const QString& text) const;

    friend bool operator==(const Schedule&, const Schedule&) = default;

private:
    QDate localDate(const QDateTime& t) const;
    QDateTime startOfDate(QDate day) const;
    QString shortDateText(QDate day) const;

    QTimeZone m_zone;
    QLocale m_locale;
};

} // namespace vorn
