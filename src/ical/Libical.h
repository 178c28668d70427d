#pragma once

// What the reader and the writer share of libical: owning pointers and the few conversions between
// its types and Qt's.

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QTimeZone>

#include <libical/ical.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>

namespace vorn::ical::detail {

struct ComponentFree {
    void operator()(icalcomponent* c) const { icalcomponent_free(c); }
};
using Component = std::unique_ptr<icalcomponent, ComponentFree>;

// A string libical made for us (the "_r" calls): ours to free.
inline QByteArray taken(char* s)
{
    if (!s)
        return {};
    QByteArray out(s);
    icalmemory_free_buffer(s);
    return out;
}

inline QString utf8(const char* s)
{
    return s ? QString::fromUtf8(s) : QString();
}

// A TEXT value as the user sees it: a line break and a tab are text, other control characters (a
// stray carriage return inside a line) are none, and no writer could carry them. libical drops the
// spaces and tabs around a value it reads, so what is left once they are gone loses them too.
inline QString textValue(const char* s)
{
    QString out = utf8(s);
    out.removeIf([](QChar c) { return c.category() == QChar::Other_Control && c != u'\n' && c != u'\t'; });
    auto blank = [](QChar c) { return c == u' ' || c == u'\t'; };
    qsizetype from = 0;
    qsizetype to = out.size();
    while (from < to && blank(out[from]))
        ++from;
    while (to > from && blank(out[to - 1]))
        --to;
    return from == 0 && to == out.size() ? out : out.mid(from, to - from);
}

// A to-do's UID as the reader and the writer both find it: a stray control character is no part of it.
inline QString uidOf(icalcomponent* c)
{
    return textValue(icalcomponent_get_uid(c)).trimmed();
}

// libical's parse of a whole text, handed out to it a line at a time: its own string reader looks for
// each line's end from the start of what is left, which a big file pays for by the square.
inline Component parseText(const QByteArray& text)
{
    // Parameters libical has no name for (another program's own) are kept, not dropped. The setting is
    // libical's global: made once, before any parse, so parses on other threads never race on it.
    static std::once_flag keepUnknown;
    std::call_once(keepUnknown, [] { ical_set_unknown_token_handling_setting(ICAL_ASSUME_IANA_TOKEN); });
    struct Feed {
        const char* at;
        const char* end;
    } feed{text.constData(), text.constData() + text.size()};
    auto nextLine = [](char* s, size_t size, void* d) -> char* {
        auto* f = static_cast<Feed*>(d);
        if (f->at >= f->end || size < 2)
            return nullptr;
        size_t n = std::min(size - 1, size_t(f->end - f->at));
        if (const void* newline = std::memchr(f->at, '\n', n))
            n = size_t(static_cast<const char*>(newline) - f->at) + 1;
        std::memcpy(s, f->at, n);
        s[n] = '\0';
        f->at += n;
        return s;
    };
    icalparser* parser = icalparser_new();
    icalparser_set_gen_data(parser, &feed);
    Component root(icalparser_parse(parser, nextLine));
    icalparser_free(parser);
    return root;
}

inline icaltimetype utcTime(const QDateTime& t)
{
    return icaltime_from_timet_with_zone(time_t(t.toSecsSinceEpoch()), 0, icaltimezone_get_utc_timezone());
}

// libical's own copy of a zone, which it takes when the file carries none: its rules stop in 2582, so
// past that it says standard time where the zone's IANA rules still say summer time.
inline bool isBuiltinZone(const icaltimezone* zone, const char* tzid)
{
    return zone && tzid &&
           (zone == icaltimezone_get_builtin_timezone(tzid) ||
            zone == icaltimezone_get_builtin_timezone_from_tzid(tzid));
}

// A time as read: UTC as it is, a zone by its VTIMEZONE (or, lacking one, by the zone's IANA name, as
// the writer converts it), floating as this machine's local time, a day alone as its local midnight.
inline std::optional<QDateTime> qtTime(const icaltimetype& t, const char* tzid)
{
    if (icaltime_is_null_time(t) || !icaltime_is_valid_time(t))
        return std::nullopt;
    const QDate day(t.year, t.month, t.day);
    if (!day.isValid())
        return std::nullopt;
    if (t.is_date)
        return QDateTime(day, QTime(0, 0));
    const QTime time(t.hour, t.minute, t.second);
    if (!time.isValid())
        return std::nullopt;
    if (icaltime_is_utc(t))
        return QDateTime(day, time, Qt::UTC);
    const bool fromFile = t.zone && !isBuiltinZone(t.zone, tzid);
    if (fromFile)
        return QDateTime::fromSecsSinceEpoch(icaltime_as_timet_with_zone(t, t.zone), Qt::UTC);
    if (tzid) {
        if (const QTimeZone zone(tzid); zone.isValid())
            return QDateTime(day, time, zone).toUTC();
    }
    if (t.zone)
        return QDateTime::fromSecsSinceEpoch(icaltime_as_timet_with_zone(t, t.zone), Qt::UTC);
    return QDateTime(day, time);
}

} // namespace vorn::ical::detail
