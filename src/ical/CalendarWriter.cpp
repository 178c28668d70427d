#include "ical/CalendarTodo.h"
#include "ical/Libical.h"
#include "ical/Parallel.h"

#include <QHash>
#include <QSet>
#include <QTimeZone>

#include <algorithm>

#include <cstring>

namespace vorn::ical {

using namespace detail;

namespace {

const char* const kProductID = "-//Vorn//vorn todo//EN";

bool isX(icalproperty* p, const char* name)
{
    const char* x = icalproperty_get_x_name(p);
    return x && qstricmp(x, name) == 0;
}

bool sameProperty(icalproperty* p, icalproperty_kind kind, const char* xName)
{
    return icalproperty_isa(p) == kind && (kind != ICAL_X_PROPERTY || isX(p, xName));
}

// Takes every property of this kind (of this name, for an X- property) out; true when there was one.
bool drop(icalcomponent* c, icalproperty_kind kind, const char* xName = nullptr)
{
    bool dropped = false;
    for (icalproperty* p = icalcomponent_get_first_property(c, kind); p;) {
        icalproperty* next = icalcomponent_get_next_property(c, kind);
        if (sameProperty(p, kind, xName)) {
            icalcomponent_remove_property(c, p);
            icalproperty_free(p);
            dropped = true;
        }
        p = next;
    }
    return dropped;
}

// Puts `fresh` in place of what the component has of its kind; an equal one already there stays, so
// a file read and written unchanged keeps its layout. True when the component changed.
bool put(icalcomponent* c, icalproperty* fresh, const char* xName = nullptr)
{
    const icalproperty_kind kind = icalproperty_isa(fresh);
    if (xName)
        icalproperty_set_x_name(fresh, xName);
    int count = 0;
    icalproperty* only = nullptr;
    for (icalproperty* p = icalcomponent_get_first_property(c, kind); p;
         p = icalcomponent_get_next_property(c, kind)) {
        if (sameProperty(p, kind, xName)) {
            ++count;
            only = p;
        }
    }
    if (count == 1 &&
        taken(icalproperty_as_ical_string_r(only)) == taken(icalproperty_as_ical_string_r(fresh))) {
        icalproperty_free(fresh);
        return false;
    }
    drop(c, kind, xName);
    icalcomponent_add_property(c, fresh);
    return true;
}

icalproperty* xText(const QString& value)
{
    return icalproperty_new_x(value.toUtf8().constData());
}

bool putTime(icalcomponent* c, icalproperty* fresh, const QDateTime& t);

// STATUS, COMPLETED and PERCENT-COMPLETE as done or not. A to-do cancelled elsewhere and done here
// stays cancelled; one in progress elsewhere and not done here stays in progress.
bool putDone(icalcomponent* c, bool done, const std::optional<QDateTime>& doneAt)
{
    bool changed = false;
    const icalproperty* status = icalcomponent_get_first_property(c, ICAL_STATUS_PROPERTY);
    const icalproperty_status was = status ? icalproperty_get_status(status) : ICAL_STATUS_NONE;
    if (done) {
        if (was != ICAL_STATUS_CANCELLED) {
            changed |= put(c, icalproperty_new_status(ICAL_STATUS_COMPLETED));
            changed |= put(c, icalproperty_new_percentcomplete(100));
        }
        if (doneAt)
            changed |= putTime(c, icalproperty_new_completed(utcTime(*doneAt)), *doneAt);
        return changed;
    }
    // No status at all already means it needs doing: saying so is no change of ours.
    if (was != ICAL_STATUS_INPROCESS)
        changed |= put(c, icalproperty_new_status(ICAL_STATUS_NEEDSACTION)) && was != ICAL_STATUS_NONE;
    changed |= drop(c, ICAL_COMPLETED_PROPERTY);
    if (const icalproperty* p = icalcomponent_get_first_property(c, ICAL_PERCENTCOMPLETE_PROPERTY);
        p && icalproperty_get_percentcomplete(p) >= 100)
        changed |= drop(c, ICAL_PERCENTCOMPLETE_PROPERTY);
    return changed;
}

bool putText(icalcomponent* c, icalproperty* fresh, const QString& value)
{
    if (value.isEmpty()) {
        const icalproperty_kind kind = icalproperty_isa(fresh);
        icalproperty_free(fresh);
        return drop(c, kind);
    }
    return put(c, fresh);
}

bool putX(icalcomponent* c, const char* name, const std::optional<QString>& value)
{
    if (!value)
        return drop(c, ICAL_X_PROPERTY, name);
    return put(c, xText(*value), name);
}

icalproperty* rtfAttachment(const QByteArray& rtf)
{
    // libical keeps inline data as the text it writes: the base64 is ours to make.
    const QByteArray base64 = rtf.toBase64();
    icalattach* attach = icalattach_new_from_data(base64.constData(), nullptr, nullptr);
    icalproperty* p = icalproperty_new_attach(attach);
    icalattach_unref(attach);
    icalproperty_add_parameter(p, icalparameter_new_fmttype("text/rtf"));
    icalproperty_add_parameter(p, icalparameter_new_encoding(ICAL_ENCODING_BASE64));
    icalproperty_add_parameter(p, icalparameter_new_value(ICAL_VALUE_BINARY));
    return p;
}

bool isRtfAttachment(icalproperty* p)
{
    const char* type = icalproperty_get_parameter_as_string(p, "FMTTYPE");
    return type && qstricmp(type, "text/rtf") == 0;
}

// The rich note is the one text/rtf attachment; other attachments are other programs'.
bool putRtf(icalcomponent* c, const std::optional<QByteArray>& rtf)
{
    icalproperty* ours = nullptr;
    bool changed = false;
    for (icalproperty* p = icalcomponent_get_first_property(c, ICAL_ATTACH_PROPERTY); p;) {
        icalproperty* next = icalcomponent_get_next_property(c, ICAL_ATTACH_PROPERTY);
        if (isRtfAttachment(p)) {
            if (ours || !rtf) {
                icalcomponent_remove_property(c, p);
                icalproperty_free(p);
                changed = true;
            } else {
                ours = p;
            }
        }
        p = next;
    }
    if (!rtf)
        return changed;
    icalproperty* fresh = rtfAttachment(*rtf);
    if (ours && taken(icalproperty_as_ical_string_r(ours)) == taken(icalproperty_as_ical_string_r(fresh))) {
        icalproperty_free(fresh);
        return changed;
    }
    if (ours) {
        icalcomponent_remove_property(c, ours);
        icalproperty_free(ours);
    }
    icalcomponent_add_property(c, fresh);
    return true;
}

// The kept text's VTODOs by UID, and its time zones by TZID.
struct Kept {
    Component root;
    QHash<QString, icalcomponent*> todos;
    QHash<QByteArray, icalcomponent*> zones;
};

Kept readKept(const QString& text)
{
    Kept kept;
    if (text.isEmpty())
        return kept;
    kept.root = parseText(text.toUtf8());
    if (!kept.root)
        return kept;
    // libical doesn't always read back what it wrote (a day where a time belongs); what it can't read of
    // the kept text goes, rather than its notes about it going out.
    icalcomponent_strip_errors(kept.root.get());
    for (icalcomponent* c = icalcomponent_get_first_component(kept.root.get(), ICAL_ANY_COMPONENT); c;
         c = icalcomponent_get_next_component(kept.root.get(), ICAL_ANY_COMPONENT)) {
        if (icalcomponent_isa(c) == ICAL_VTODO_COMPONENT) {
            if (const QString uid = uidOf(c); !uid.isEmpty())
                kept.todos.insert(uid, c);
        } else if (icalcomponent_isa(c) == ICAL_VTIMEZONE_COMPONENT) {
            if (icalproperty* tzid = icalcomponent_get_first_property(c, ICAL_TZID_PROPERTY))
                kept.zones.insert(QByteArray(icalproperty_get_tzid(tzid)), c);
        }
    }
    return kept;
}

// The kept VTODO of this UID, still in the kept text (so its times find their zones), or a new one.
icalcomponent* baseFor(Kept& kept, const QString& uid, bool* fromKept)
{
    if (icalcomponent* c = kept.todos.take(uid)) {
        *fromKept = true;
        return c;
    }
    *fromKept = false;
    return icalcomponent_new_vtodo();
}

// Takes the VTODO out of its kept text, to be written; DTSTAMP is now, and a to-do read here gets a
// new LAST-MODIFIED only when our fields changed it. One we made never had one: its CREATED says.
icalcomponent* finish(icalcomponent* c, bool fromKept, bool changed, const QDateTime& stamp)
{
    // These are UTC times by the standard; one read as a day alone (a broken value) libical would not
    // read back, so it goes.
    for (icalproperty_kind kind :
         {ICAL_CREATED_PROPERTY, ICAL_COMPLETED_PROPERTY, ICAL_LASTMODIFIED_PROPERTY}) {
        for (icalproperty* p = icalcomponent_get_first_property(c, kind); p;) {
            icalproperty* next = icalcomponent_get_next_property(c, kind);
            if (icalproperty_get_datetime_with_component(p, c).is_date) {
                icalcomponent_remove_property(c, p);
                icalproperty_free(p);
            }
            p = next;
        }
    }
    put(c, icalproperty_new_dtstamp(utcTime(stamp)));
    if (fromKept && changed)
        put(c, icalproperty_new_lastmodified(utcTime(stamp)));
    if (icalcomponent* parent = icalcomponent_get_parent(c))
        icalcomponent_remove_component(parent, c);
    return c;
}

// A time the component has already, written any way (a zone, a day), for the same second: kept as it
// is, so another program's zone or date stays. CREATED and COMPLETED are times in UTC by the standard:
// a day there is replaced, as libical would not read it back.
bool putTime(icalcomponent* c, icalproperty* fresh, const QDateTime& t)
{
    const icalproperty_kind kind = icalproperty_isa(fresh);
    icalproperty* p = icalcomponent_get_first_property(c, kind);
    if (p && !icalcomponent_get_next_property(c, kind)) {
        const icaltimetype time = icalproperty_get_datetime_with_component(p, c);
        const std::optional<QDateTime> was = qtTime(time, icalproperty_get_parameter_as_string(p, "TZID"));
        const bool dayAllowed = kind == ICAL_DTSTART_PROPERTY;
        if (was && was->toSecsSinceEpoch() == t.toSecsSinceEpoch() && (dayAllowed || !time.is_date)) {
            icalproperty_free(fresh);
            return false;
        }
    }
    return put(c, fresh);
}

void namedZones(icalcomponent* c, QSet<QByteArray>& out)
{
    for (icalproperty* p = icalcomponent_get_first_property(c, ICAL_ANY_PROPERTY); p;
         p = icalcomponent_get_next_property(c, ICAL_ANY_PROPERTY)) {
        if (icalparameter* tzid = icalproperty_get_first_parameter(p, ICAL_TZID_PARAMETER))
            out.insert(QByteArray(icalparameter_get_tzid(tzid)));
    }
    for (icalcomponent* sub = icalcomponent_get_first_component(c, ICAL_ANY_COMPONENT); sub;
         sub = icalcomponent_get_next_component(c, ICAL_ANY_COMPONENT))
        namedZones(sub, out);
}

// A time named by a zone the file didn't describe is written in UTC (by the zone's IANA name), or
// floating when the zone isn't known here either: never a TZID another program can't look up.
void settleZones(icalcomponent* c, const QHash<QByteArray, icalcomponent*>& zones)
{
    for (icalproperty* p = icalcomponent_get_first_property(c, ICAL_ANY_PROPERTY); p;
         p = icalcomponent_get_next_property(c, ICAL_ANY_PROPERTY)) {
        icalparameter* tzid = icalproperty_get_first_parameter(p, ICAL_TZID_PARAMETER);
        if (!tzid || zones.contains(QByteArray(icalparameter_get_tzid(tzid))))
            continue;
        // The same second the reader took it for: by a zone the item carries inside it, else by the
        // zone's IANA name.
        const char* name = icalparameter_get_tzid(tzid);
        icalvalue* value = icalproperty_get_value(p);
        if (value && icalvalue_isa(value) == ICAL_DATETIME_VALUE) {
            const icaltimetype t = icalproperty_get_datetime_with_component(p, c);
            if (t.zone || QTimeZone(name).isValid()) {
                if (const std::optional<QDateTime> read = qtTime(t, name))
                    icalvalue_set_datetime(value, utcTime(*read));
            }
        }
        // Every TZID goes: a second one (a broken line) would name a zone nobody carries.
        while (icalparameter* more = icalproperty_get_first_parameter(p, ICAL_TZID_PARAMETER))
            icalproperty_remove_parameter_by_ref(p, more);
    }
    for (icalcomponent* sub = icalcomponent_get_first_component(c, ICAL_ANY_COMPONENT); sub;
         sub = icalcomponent_get_next_component(c, ICAL_ANY_COMPONENT))
        settleZones(sub, zones);
}

// One thing's to-dos as they go out: its own, then its steps'; and the kept text they were taken from.
struct Written {
    Kept kept; // the zones written point into it until the end
    std::vector<icalcomponent*> todos;
};

Written writeThing(const CalendarThing& thing, const QDateTime& stamp)
{
    Written out;
    Kept& kept = out.kept;
    kept = readKept(thing.kept);
    bool fromKept = false;
    icalcomponent* c = baseFor(kept, thing.uid, &fromKept);
    bool changed = put(c, icalproperty_new_uid(thing.uid.toUtf8().constData()));
    changed |= put(c, icalproperty_new_summary(thing.title.toUtf8().constData()));
    if (thing.created.isValid())
        changed |= putTime(c, icalproperty_new_created(utcTime(thing.created)), thing.created);
    changed |= putDone(c, thing.done, thing.doneAt);
    // Someday is no date at all to other programs: they would show the far future as a date.
    if (thing.wake && !thing.someday)
        changed |= putTime(c, icalproperty_new_dtstart(utcTime(*thing.wake)), *thing.wake);
    else
        changed |= drop(c, ICAL_DTSTART_PROPERTY);
    changed |=
        putX(c, "X-VORN-SOMEDAY", thing.someday ? std::optional(QStringLiteral("TRUE")) : std::nullopt);
    changed |=
        putX(c, "X-VORN-ZCOUNT", thing.zs > 0 ? std::optional(QString::number(thing.zs)) : std::nullopt);
    changed |= putX(c, "X-APPLE-SORT-ORDER",
                    thing.order ? std::optional(QString::number(*thing.order)) : std::nullopt);
    changed |= putX(c, "X-VORN-LIST", thing.list.isEmpty() ? std::nullopt : std::optional(thing.list));
    changed |= putText(c, icalproperty_new_description(thing.note.toUtf8().constData()), thing.note);
    changed |= putRtf(c, thing.rtf);
    out.todos.push_back(finish(c, fromKept, changed, stamp));

    for (std::size_t i = 0; i < thing.steps.size(); ++i) {
        const CalendarStep& step = thing.steps[i];
        bool stepFromKept = false;
        icalcomponent* s = baseFor(kept, step.uid, &stepFromKept);
        bool stepChanged = put(s, icalproperty_new_uid(step.uid.toUtf8().constData()));
        stepChanged |= put(s, icalproperty_new_summary(step.title.toUtf8().constData()));
        icalproperty* parent = icalproperty_new_relatedto(thing.uid.toUtf8().constData());
        icalproperty_add_parameter(parent, icalparameter_new_reltype(ICAL_RELTYPE_PARENT));
        stepChanged |= put(s, parent);
        stepChanged |= putDone(s, step.done, step.doneAt);
        stepChanged |= putX(s, "X-APPLE-SORT-ORDER", QString::number(i + 1));
        out.todos.push_back(finish(s, stepFromKept, stepChanged, stamp));
    }
    return out;
}

// Below this many things a calendar is written on one thread: threads would cost more than they save.
constexpr std::size_t kThingsPerPart = 500;

} // namespace

QByteArray writeCalendar(const std::vector<CalendarThing>& things, const QDateTime& stamp)
{
    return writeCalendar(
        things, stamp,
        int(std::clamp<std::size_t>(things.size() / kThingsPerPart, 1, std::size_t(partsForCores()))));
}

QByteArray writeCalendar(const std::vector<CalendarThing>& things, const QDateTime& stamp, int parts)
{
    // The things are written in runs side by side; each run's libical items stay on its thread, and the
    // text comes out as one calendar would write it.
    parts = int(std::clamp<std::size_t>(things.size(), 1, std::size_t(std::max(1, parts))));
    auto runOf = [&](int k) {
        return std::pair(things.size() * std::size_t(k) / std::size_t(parts),
                         things.size() * std::size_t(k + 1) / std::size_t(parts));
    };
    // libical makes the UTC zone once; made here, before any thread asks for it.
    icaltimezone_get_utc_timezone();
    std::vector<Written> written(things.size());
    inParallel(parts, [&](int k) {
        const auto [from, to] = runOf(k);
        for (std::size_t i = from; i < to; ++i)
            written[i] = writeThing(things[i], stamp);
    });

    // A zone goes as the first thing that carries it has it.
    QHash<QByteArray, icalcomponent*> zones;
    for (const Written& w : written) {
        for (auto it = w.kept.zones.cbegin(); it != w.kept.zones.cend(); ++it) {
            if (!zones.contains(it.key()))
                zones.insert(it.key(), it.value());
        }
    }

    // A TZID is written only with its VTIMEZONE, and a VTIMEZONE only when something names it.
    std::vector<QByteArray> texts(static_cast<std::size_t>(parts));
    std::vector<QSet<QByteArray>> namedIn(static_cast<std::size_t>(parts));
    inParallel(parts, [&](int k) {
        const auto [from, to] = runOf(k);
        for (std::size_t i = from; i < to; ++i) {
            for (icalcomponent* c : written[i].todos) {
                settleZones(c, zones);
                namedZones(c, namedIn[std::size_t(k)]);
                texts[std::size_t(k)] += taken(icalcomponent_as_ical_string_r(c));
                icalcomponent_free(c);
            }
            written[i].todos.clear();
        }
    });
    QSet<QByteArray> named;
    for (const QSet<QByteArray>& n : namedIn)
        named.unite(n);

    Component calendar(icalcomponent_new_vcalendar());
    icalcomponent_add_property(calendar.get(), icalproperty_new_version("2.0"));
    icalcomponent_add_property(calendar.get(), icalproperty_new_prodid(kProductID));
    QList<QByteArray> zoneNames(named.cbegin(), named.cend());
    std::sort(zoneNames.begin(), zoneNames.end());
    for (const QByteArray& name : zoneNames) {
        if (icalcomponent* zone = zones.value(name))
            icalcomponent_add_component(calendar.get(), icalcomponent_new_clone(zone));
    }
    // The calendar's own lines and its zones, then every to-do before its END line.
    QByteArray out = taken(icalcomponent_as_ical_string_r(calendar.get()));
    const QByteArray end = "END:VCALENDAR\r\n";
    Q_ASSERT(out.endsWith(end));
    out.chop(end.size());
    qsizetype size = out.size() + end.size();
    for (const QByteArray& t : texts)
        size += t.size();
    out.reserve(size);
    for (QByteArray& t : texts) {
        out += t;
        t.clear();
    }
    out += end;
    inParallel(parts, [&](int k) {
        const auto [from, to] = runOf(k);
        for (std::size_t i = from; i < to; ++i)
            written[i] = Written();
    });
    return out;
}

} // namespace vorn::ical
