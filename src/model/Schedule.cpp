#include "model/Schedule.h"

#include "model/Commands.h"

#include "store/Dates.h"

#include <QHash>
#include <QMutex>
#include <QStringList>

#include <unicode/udatpg.h>

#include <limits>
#include <utility>

namespace vorn {

namespace {

constexpr qint64 kDayMSecs = 86'400'000;
constexpr qint64 kTwoHoursSecs = 2 * 3600;

QDateTime utcInstant(qint64 msecs)
{
    return QDateTime::fromMSecsSinceEpoch(msecs, Qt::UTC);
}

qint64 offsetMSecs(const QTimeZone& zone, qint64 utcMSecs)
{
    return qint64(zone.offsetFromUtc(utcInstant(utcMSecs))) * 1000;
}

// A wall-clock reading of the zone, as t's local date and time.
QDateTime wallClock(const QTimeZone& zone, const QDateTime& t)
{
    const qint64 msecs = t.toMSecsSinceEpoch();
    return utcInstant(msecs + offsetMSecs(zone, msecs));
}

enum class Skipped { nextExistingTime, shiftForward };

// The instant at which the zone's clocks read `date` `time`. Qt 6.4 resolves a reading shown twice to
// its later occurrence and gives up on a skipped one, so this does it by offsets: a repeated reading
// gives its first occurrence; a skipped one gives the moment the clocks jumped (nextExistingTime) or
// the reading moved on by the jump (shiftForward).
QDateTime resolveWallTime(const QTimeZone& zone, QDate date, QTime time, Skipped skipped)
{
    if (!date.isValid() || !time.isValid())
        return {};
    // The reading counted as if it were UTC; instant = wall - offset for the offset in force then.
    const qint64 wall = QDateTime(date, time, Qt::UTC).toMSecsSinceEpoch();
    // Offsets stay under a day, so these two are in force before and after any change near the reading.
    const qint64 before = offsetMSecs(zone, wall - kDayMSecs);
    const qint64 after = offsetMSecs(zone, wall + kDayMSecs);
    std::optional<qint64> first;
    for (const qint64 offset : {before, offsetMSecs(zone, wall), after}) {
        const qint64 instant = wall - offset;
        if (offsetMSecs(zone, instant) == offset && (!first || instant < *first))
            first = instant;
    }
    if (first)
        return utcInstant(*first);

    // Skipped: read with the old offset, the instant lies after the jump and shows the reading moved on.
    qint64 lo = wall - after;
    qint64 hi = wall - before;
    if (skipped == Skipped::shiftForward || lo >= hi)
        return utcInstant(hi);
    // The jump lies in [lo, hi): lo still has the old offset (the new one would show the reading there).
    while (hi - lo > 1) {
        const qint64 mid = lo + (hi - lo) / 2;
        if (offsetMSecs(zone, mid) == before)
            lo = mid;
        else
            hi = mid;
    }
    return utcInstant(hi);
}

// Accepts what a decimal integer literal looks like: an optional plus and ASCII digits, nothing else.
bool isDecimal(const QString& piece)
{
    const qsizetype start = piece.startsWith(u'+') ? 1 : 0;
    if (piece.size() == start)
        return false;
    for (qsizetype i = start; i < piece.size(); ++i) {
        if (piece[i] < u'0' || piece[i] > u'9')
            return false;
    }
    return true;
}

} // namespace

Schedule::Schedule(QTimeZone zone, QLocale locale) : m_zone(std::move(zone)), m_locale(std::move(locale)) {}

TodoList Schedule::list(const std::optional<QDateTime>& doneAt, const std::optional<QDateTime>& snoozedUntil,
                        const QDateTime& now) const
{
    if (doneAt)
        return TodoList::doneIsh;
    if (snoozedUntil && *snoozedUntil > now)
        return TodoList::later;
    return TodoList::today;
}

QDateTime Schedule::wakeDate(SnoozeOption option, const QDateTime& from) const
{
    switch (option) {
    case SnoozeOption::tonightIsh: {
        const QDateTime evening =
            resolveWallTime(m_zone, localDate(from), QTime(19, 0), Skipped::nextExistingTime);
        return from < evening ? evening : from.toUTC().addSecs(kTwoHoursSecs);
    }
    case SnoozeOption::tomorrow:
        return startOfTomorrow(from);
    case SnoozeOption::monday: {
        const QDate day = localDate(from);
        // Qt numbers Monday 1 to Sunday 7: one to seven days ahead, a full week from a Monday.
        const QDateTime monday = startOfDate(day.addDays(8 - day.dayOfWeek()));
        if (monday.isValid())
            return monday;
        const QDateTime week = addDays(startOfDay(from), 7);
        return week.isValid() ? week : startOfDay(from);
    }
    case SnoozeOption::someday:
        return distantFuture();
    }
    return distantFuture();
}

QString Schedule::wakeLabel(const QDateTime& wake, const QDateTime& now) const
{
    if (wake == distantFuture())
        return QStringLiteral("someday");
    if (isSameDay(wake, now))
        return QStringLiteral("tonight-ish");
    if (isSameDay(wake, startOfTomorrow(now)))
        return QStringLiteral("tomorrow");
    // Calendar days, not elapsed hours: a DST change makes a week 167 or 169 hours long.
    const QDate wakeDay = localDate(wake);
    if (localDate(now).daysTo(wakeDay) >= 7) {
        // English dates take the app's lower-case voice ("mar 29"); other languages keep how they
        // write a month ("29. März").
        const QString date = shortDateText(wakeDay);
        return m_locale.language() == QLocale::English ? m_locale.toLower(date) : date;
    }
    return m_locale.toLower(m_locale.dayName(wakeDay.dayOfWeek(), QLocale::LongFormat));
}

QString Schedule::laterSection(const QDateTime& wake, const QDateTime& now) const
{
    // The sections a snooze lands in carry its option's name.
    if (wake == distantFuture())
        return snoozeOptionName(SnoozeOption::someday);
    if (isSameDay(wake, now))
        return snoozeOptionName(SnoozeOption::tonightIsh);
    if (isSameDay(wake, startOfTomorrow(now)))
        return snoozeOptionName(SnoozeOption::tomorrow);
    return QStringLiteral("Further off");
}

QDateTime Schedule::startOfDay(const QDateTime& t) const
{
    return startOfDate(localDate(t));
}

QDateTime Schedule::startOfTomorrow(const QDateTime& t) const
{
    const QDateTime next = startOfDate(localDate(t).addDays(1));
    return next.isValid() ? next : startOfDay(t);
}

QDateTime Schedule::addDays(const QDateTime& t, int days) const
{
    // Adding nothing keeps the instant, even the second occurrence of a repeated reading.
    if (days == 0 || !t.isValid())
        return t.toUTC();
    const QDateTime wall = wallClock(m_zone, t);
    return resolveWallTime(m_zone, wall.date().addDays(days), wall.time(), Skipped::shiftForward);
}

bool Schedule::isSameDay(const QDateTime& a, const QDateTime& b) const
{
    return localDate(a) == localDate(b);
}

QString Schedule::dayText(const QDateTime& t) const
{
    const QDate day = localDate(t);
    if (!day.isValid())
        return QStringLiteral("1970-01-01");
    return QString::asprintf("%04d-%02d-%02d", day.year(), day.month(), day.day());
}

std::optional<QDateTime> Schedule::isoDay(const QString& text) const
{
    QList<qint64> numbers;
    for (const QString& piece : text.split(u'-', Qt::SkipEmptyParts)) {
        bool ok = false;
        const qint64 number = isDecimal(piece) ? piece.toLongLong(&ok) : 0;
        if (ok)
            numbers.append(number);
    }
    if (numbers.size() != 3)
        return std::nullopt;
    for (const qint64 number : numbers) {
        if (number > std::numeric_limits<int>::max())
            return std::nullopt;
    }
    // Strict: 2026-02-30 is no day rather than a quietly shifted one.
    const QDate day(static_cast<int>(numbers[0]), static_cast<int>(numbers[1]), static_cast<int>(numbers[2]));
    const QDateTime start = startOfDate(day);
    if (!start.isValid())
        return std::nullopt;
    return start;
}

QDate Schedule::localDate(const QDateTime& t) const
{
    return t.isValid() ? wallClock(m_zone, t).date() : QDate();
}

QDateTime Schedule::startOfDate(QDate day) const
{
    return resolveWallTime(m_zone, day, QTime(0, 0), Skipped::nextExistingTime);
}

namespace {

// The locale's own way to write a day and a short month ("MMM d", "d MMM", "d. MMM", "d 'de' MMM"), as
// ICU's pattern generator gives it; none when ICU has no answer. ICU's pattern letters and quoting
// read the same in QLocale::toString. Rows ask at every paint, so each locale is asked once.
QString monthDayPattern(const QLocale& locale)
{
    static QMutex mutex;
    static QHash<QString, QString> patterns;
    const QString name = locale.name();
    const QMutexLocker lock(&mutex);
    if (const auto found = patterns.constFind(name); found != patterns.constEnd())
        return *found;
    QString pattern;
    UErrorCode status = U_ZERO_ERROR;
    if (UDateTimePatternGenerator* generator = udatpg_open(name.toUtf8().constData(), &status)) {
        char16_t best[64];
        const int32_t n = udatpg_getBestPattern(generator, u"MMMd", 4, best, 64, &status);
        if (U_SUCCESS(status) && n > 0 && n < 64)
            pattern = QString::fromUtf16(best, n);
        udatpg_close(generator);
    }
    patterns.insert(name, pattern);
    return pattern;
}

} // namespace

QString Schedule::shortDateText(QDate day) const
{
    if (const QString pattern = monthDayPattern(m_locale); !pattern.isEmpty())
        return m_locale.toString(day, pattern);
    // Month and day in the order the locale writes them in its short dates ("Mar 14" or "14 Mar").
    const QString order = m_locale.dateFormat(QLocale::ShortFormat);
    const qsizetype dayAt = order.indexOf(u'd');
    const qsizetype monthAt = order.indexOf(u'M');
    const bool dayFirst = dayAt >= 0 && monthAt >= 0 && dayAt < monthAt;
    return m_locale.toString(day, dayFirst ? QStringLiteral("d MMM") : QStringLiteral("MMM d"));
}

} // namespace vorn
