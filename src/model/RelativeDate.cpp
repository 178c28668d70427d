#include "model/RelativeDate.h"

#include <map>

#include <unicode/ureldatefmt.h>

#include <memory>

namespace vorn {

namespace {

struct FormatterCloser {
    void operator()(URelativeDateTimeFormatter* f) const { ureldatefmt_close(f); }
};
using Formatter = std::unique_ptr<URelativeDateTimeFormatter, FormatterCloser>;

// Opening a formatter loads locale data; rows ask for it on every redraw, so keep one per locale.
const URelativeDateTimeFormatter* formatterFor(const QLocale& locale)
{
    static std::map<QString, Formatter> cache;
    const QString name = locale.name();
    auto it = cache.find(name);
    if (it == cache.end()) {
        UErrorCode status = U_ZERO_ERROR;
        URelativeDateTimeFormatter* f = ureldatefmt_open(
            name.toLatin1().constData(), nullptr, UDAT_STYLE_LONG, UDISPCTX_CAPITALIZATION_NONE, &status);
        if (U_FAILURE(status)) {
            if (f)
                ureldatefmt_close(f);
            f = nullptr;
        }
        it = cache.emplace(name, Formatter(f)).first;
    }
    return it->second.get();
}

// The local wall-clock reading of t, as a zone-free date and time for calendar arithmetic.
QDateTime wall(const QDateTime& t, const Schedule& schedule)
{
    const QDateTime local = t.toTimeZone(schedule.timeZone());
    return QDateTime(local.date(), local.time(), Qt::UTC);
}

struct Difference {
    double value;
    URelativeDateTimeUnit unit;
};

// Calendar components from `from` to `to` (from <= to), largest first; the first that is not zero wins.
Difference largestUnit(QDateTime from, const QDateTime& to)
{
    int years = 0;
    while (from.addYears(years + 1) <= to)
        ++years;
    from = from.addYears(years);
    if (years)
        return {double(years), UDAT_REL_UNIT_YEAR};
    int months = 0;
    while (from.addMonths(months + 1) <= to)
        ++months;
    from = from.addMonths(months);
    if (months)
        return {double(months), UDAT_REL_UNIT_MONTH};
    const qint64 days = from.daysTo(to) - (from.addDays(from.daysTo(to)) > to ? 1 : 0);
    if (days >= 7)
        return {double(days / 7), UDAT_REL_UNIT_WEEK};
    if (days)
        return {double(days), UDAT_REL_UNIT_DAY};
    const qint64 secs = from.secsTo(to);
    if (secs >= 3600)
        return {double(secs / 3600), UDAT_REL_UNIT_HOUR};
    if (secs >= 60)
        return {double(secs / 60), UDAT_REL_UNIT_MINUTE};
    return {double(secs), UDAT_REL_UNIT_SECOND};
}

} // namespace

QString relativeDateText(const QDateTime& date, const QDateTime& now, const Schedule& schedule)
{
    const QDateTime a = wall(date, schedule);
    const QDateTime b = wall(now, schedule);
    const bool past = a <= b;
    Difference d = past ? largestUnit(a, b) : largestUnit(b, a);
    if (past)
        d.value = -d.value;

    const URelativeDateTimeFormatter* f = formatterFor(schedule.locale());
    if (!f)
        return schedule.locale().toString(date.toTimeZone(schedule.timeZone()).date(), QLocale::ShortFormat);
    UChar buffer[128];
    UErrorCode status = U_ZERO_ERROR;
    const int32_t n = ureldatefmt_format(f, d.value, d.unit, buffer, int32_t(std::size(buffer)), &status);
    if (U_FAILURE(status) || n <= 0)
        return schedule.locale().toString(date.toTimeZone(schedule.timeZone()).date(), QLocale::ShortFormat);
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(buffer), n);
}

} // namespace vorn
