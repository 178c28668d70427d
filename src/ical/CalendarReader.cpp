#include "ical/CalendarTodo.h"
#include "ical/Libical.h"

#include <QHash>
#include <QList>
#include <QSet>

#include <algorithm>
#include <map>

namespace vorn::ical {

using namespace detail;

namespace {

// Where each item of a kind begins: the n-th BEGIN:VTODO line is the n-th VTODO libical hands back.
// Only BEGIN lines are looked at, to say where a problem is; libical reads the rest.
QHash<QByteArray, QList<int>> beginLines(const QByteArray& text)
{
    QHash<QByteArray, QList<int>> out;
    const QByteArrayView all(text);
    int line = 1;
    qsizetype start = 0;
    while (start <= all.size()) {
        qsizetype end = all.indexOf('\n', start);
        if (end < 0)
            end = all.size();
        // A view of the line: only a BEGIN line's name is copied.
        const QByteArrayView content = all.sliced(start, end - start).trimmed();
        if (content.size() > 6 && qstrnicmp(content.data(), "BEGIN:", 6) == 0)
            out[content.sliced(6).toByteArray().toUpper()].push_back(line);
        ++line;
        start = end + 1;
    }
    return out;
}

// libical takes time by the square of a line's length: a line longer than any property may be is put
// aside before it reads, leaving a mark that has its to-do reported.
const char* const kOversize = "X-VORN-OVERSIZE";

QByteArray withoutOversizeLines(const QByteArray& text)
{
    QByteArray out;
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = text.indexOf('\n', start);
        if (end < 0)
            end = text.size();
        if (end - start > kCalendarPropertyLimit) {
            if (out.isEmpty())
                out = text.left(start);
            out += kOversize;
            out += ":1\r";
        } else if (!out.isEmpty()) {
            out += QByteArrayView(text).sliced(start, end - start);
        }
        if (!out.isEmpty() && end < text.size())
            out += '\n';
        start = end + 1;
    }
    return out.isEmpty() ? text : out;
}

struct Item {
    icalcomponent* todo;
    int line;
    QString uid;
    QString parent; // RELATED-TO with RELTYPE=PARENT (the default)
};

QString parentOf(icalcomponent* c)
{
    for (icalproperty* p = icalcomponent_get_first_property(c, ICAL_RELATEDTO_PROPERTY); p;
         p = icalcomponent_get_next_property(c, ICAL_RELATEDTO_PROPERTY)) {
        // By its text, as libical writes it again: a stray control character in it is dropped then.
        const QString type = textValue(icalproperty_get_parameter_as_string(p, "RELTYPE")).trimmed();
        if (type.isEmpty() || type.compare(QLatin1String("PARENT"), Qt::CaseInsensitive) == 0)
            return textValue(icalproperty_get_relatedto(p)).trimmed();
    }
    return {};
}

// What libical says it couldn't read in the item (a broken line, a value it couldn't take); empty
// values it drops are no reason to skip a to-do.
QString parseError(icalcomponent* c)
{
    for (icalproperty* p = icalcomponent_get_first_property(c, ICAL_XLICERROR_PROPERTY); p;
         p = icalcomponent_get_next_property(c, ICAL_XLICERROR_PROPERTY)) {
        const QString what = utf8(icalproperty_get_xlicerror(p)).trimmed();
        if (!what.startsWith(QLatin1String("No value for")))
            return what;
    }
    for (icalcomponent* sub = icalcomponent_get_first_component(c, ICAL_ANY_COMPONENT); sub;
         sub = icalcomponent_get_next_component(c, ICAL_ANY_COMPONENT)) {
        if (QString what = parseError(sub); !what.isEmpty())
            return what;
    }
    return {};
}

qsizetype biggestProperty(icalcomponent* c)
{
    qsizetype most = 0;
    for (icalproperty* p = icalcomponent_get_first_property(c, ICAL_ANY_PROPERTY); p;
         p = icalcomponent_get_next_property(c, ICAL_ANY_PROPERTY))
        most = std::max(most, taken(icalproperty_get_value_as_string_r(p)).size());
    for (icalcomponent* sub = icalcomponent_get_first_component(c, ICAL_ANY_COMPONENT); sub;
         sub = icalcomponent_get_next_component(c, ICAL_ANY_COMPONENT))
        most = std::max(most, biggestProperty(sub));
    return most;
}

icalproperty* xProperty(icalcomponent* c, const char* name)
{
    for (icalproperty* p = icalcomponent_get_first_property(c, ICAL_X_PROPERTY); p;
         p = icalcomponent_get_next_property(c, ICAL_X_PROPERTY)) {
        if (const char* x = icalproperty_get_x_name(p); x && qstricmp(x, name) == 0)
            return p;
    }
    return nullptr;
}

QString xValue(icalcomponent* c, const char* name)
{
    icalproperty* p = xProperty(c, name);
    return p ? utf8(icalproperty_get_x(p)) : QString();
}

std::optional<qint64> xNumber(icalcomponent* c, const char* name)
{
    bool ok = false;
    const qint64 n = xValue(c, name).trimmed().toLongLong(&ok);
    return ok ? std::optional(n) : std::nullopt;
}

std::optional<QDateTime> timeOf(icalcomponent* c, icalproperty_kind kind)
{
    icalproperty* p = icalcomponent_get_first_property(c, kind);
    if (!p)
        return std::nullopt;
    const char* tzid = icalproperty_get_parameter_as_string(p, "TZID");
    // With the component, libical finds the zone in the VTIMEZONE of the calendar around it.
    return qtTime(icalproperty_get_datetime_with_component(p, c), tzid);
}

void readDone(icalcomponent* c, bool& done, std::optional<QDateTime>& doneAt)
{
    const icalproperty* status = icalcomponent_get_first_property(c, ICAL_STATUS_PROPERTY);
    const icalproperty_status s = status ? icalproperty_get_status(status) : ICAL_STATUS_NONE;
    const icalproperty* percent = icalcomponent_get_first_property(c, ICAL_PERCENTCOMPLETE_PROPERTY);
    doneAt = timeOf(c, ICAL_COMPLETED_PROPERTY);
    // A to-do cancelled elsewhere needs nothing more here: it is as good as done.
    done = s == ICAL_STATUS_COMPLETED || s == ICAL_STATUS_CANCELLED || doneAt.has_value() ||
           (percent && icalproperty_get_percentcomplete(percent) >= 100);
    if (done && !doneAt && s == ICAL_STATUS_CANCELLED)
        doneAt = timeOf(c, ICAL_LASTMODIFIED_PROPERTY);
}

std::optional<QByteArray> rtfOf(icalcomponent* c)
{
    for (icalproperty* p = icalcomponent_get_first_property(c, ICAL_ATTACH_PROPERTY); p;
         p = icalcomponent_get_next_property(c, ICAL_ATTACH_PROPERTY)) {
        const char* type = icalproperty_get_parameter_as_string(p, "FMTTYPE");
        if (!type || qstricmp(type, "text/rtf") != 0)
            continue;
        icalattach* attach = icalproperty_get_attach(p);
        if (!attach || icalattach_get_is_url(attach))
            continue;
        const auto data = QByteArray::fromBase64Encoding(
            QByteArray(reinterpret_cast<const char*>(icalattach_get_data(attach))));
        // An empty rich copy is none: nothing would carry it back.
        if (data && !data.decoded.isEmpty())
            return *data;
    }
    return std::nullopt;
}

QString kindName(icalcomponent_kind kind)
{
    switch (kind) {
    case ICAL_VEVENT_COMPONENT:
        return QStringLiteral("an event");
    case ICAL_VJOURNAL_COMPONENT:
        return QStringLiteral("a journal entry");
    case ICAL_VFREEBUSY_COMPONENT:
        return QStringLiteral("free/busy times");
    default:
        return QStringLiteral("a %1").arg(QString::fromUtf8(icalcomponent_kind_to_string(kind)));
    }
}

bool isUtcTime(icalproperty* p)
{
    const icaltimetype t = icalvalue_get_datetime(icalproperty_get_value(p));
    return !t.is_date && icaltime_is_utc(t);
}

// Whether the to-do holds only what our own writing makes, in the form it makes it: then writing it
// from its fields gives it back, and no text of it need be kept. LAST-MODIFIED is kept as read, so a
// to-do that has one keeps its text.
bool onlyOurs(icalcomponent* c)
{
    if (icalcomponent_get_first_component(c, ICAL_ANY_COMPONENT))
        return false;
    QSet<QByteArray> seen;
    for (icalproperty* p = icalcomponent_get_first_property(c, ICAL_ANY_PROPERTY); p;
         p = icalcomponent_get_next_property(c, ICAL_ANY_PROPERTY)) {
        const int parameters = icalproperty_count_parameters(p);
        switch (icalproperty_isa(p)) {
        case ICAL_UID_PROPERTY:
        case ICAL_SUMMARY_PROPERTY:
        case ICAL_DESCRIPTION_PROPERTY:
        case ICAL_DTSTAMP_PROPERTY:
            if (parameters != 0)
                return false;
            break;
        case ICAL_CREATED_PROPERTY:
        case ICAL_COMPLETED_PROPERTY:
        case ICAL_DTSTART_PROPERTY:
            if (parameters != 0 || !isUtcTime(p))
                return false;
            break;
        case ICAL_STATUS_PROPERTY:
            if (parameters != 0 || (icalproperty_get_status(p) != ICAL_STATUS_NEEDSACTION &&
                                    icalproperty_get_status(p) != ICAL_STATUS_COMPLETED))
                return false;
            break;
        case ICAL_PERCENTCOMPLETE_PROPERTY:
            if (parameters != 0 || icalproperty_get_percentcomplete(p) != 100)
                return false;
            break;
        case ICAL_RELATEDTO_PROPERTY: {
            const char* type = icalproperty_get_parameter_as_string(p, "RELTYPE");
            if (parameters != 1 || !type || qstrcmp(type, "PARENT") != 0)
                return false;
            break;
        }
        case ICAL_ATTACH_PROPERTY: {
            const char* type = icalproperty_get_parameter_as_string(p, "FMTTYPE");
            if (parameters != 3 || !type || qstrcmp(type, "text/rtf") != 0)
                return false;
            break;
        }
        case ICAL_X_PROPERTY: {
            const char* name = icalproperty_get_x_name(p);
            if (parameters != 0 || !name ||
                (qstrcmp(name, "X-VORN-SOMEDAY") != 0 && qstrcmp(name, "X-VORN-ZCOUNT") != 0 &&
                 qstrcmp(name, "X-VORN-LIST") != 0 && qstrcmp(name, "X-APPLE-SORT-ORDER") != 0))
                return false;
            if (seen.contains(name))
                return false;
            seen.insert(name);
            continue;
        }
        default:
            return false;
        }
        const QByteArray kind = icalproperty_kind_to_string(icalproperty_isa(p));
        if (seen.contains(kind))
            return false;
        seen.insert(kind);
    }
    return true;
}

// A date or time libical took with a field out of range (minute 60, month 13): no program reads it the
// same, and libical itself writes it back as another time when it moves it out of a zone.
bool isImpossibleTime(icalproperty* p)
{
    const icalvalue* v = icalproperty_get_value(p);
    if (!v || (icalvalue_isa(v) != ICAL_DATETIME_VALUE && icalvalue_isa(v) != ICAL_DATE_VALUE))
        return false;
    const icaltimetype t = icalvalue_get_datetime(v);
    if (t.month < 1 || t.month > 12 || t.day < 1 || t.day > icaltime_days_in_month(t.month, t.year))
        return true;
    return !t.is_date &&
           (t.hour < 0 || t.hour > 23 || t.minute < 0 || t.minute > 59 || t.second < 0 || t.second > 60);
}

void dropImpossibleTimes(icalcomponent* c)
{
    for (icalproperty* p = icalcomponent_get_first_property(c, ICAL_ANY_PROPERTY); p;) {
        icalproperty* next = icalcomponent_get_next_property(c, ICAL_ANY_PROPERTY);
        if (isImpossibleTime(p)) {
            icalcomponent_remove_property(c, p);
            icalproperty_free(p);
        }
        p = next;
    }
    for (icalcomponent* sub = icalcomponent_get_first_component(c, ICAL_ANY_COMPONENT); sub;
         sub = icalcomponent_get_next_component(c, ICAL_ANY_COMPONENT))
        dropImpossibleTimes(sub);
}

// The kept text of one thing: a calendar of its VTODO, its subtasks' and the zones they name.
QString keptText(const std::vector<icalcomponent*>& todos, const QHash<QByteArray, icalcomponent*>& zones)
{
    Component calendar(icalcomponent_new_vcalendar());
    QSet<QByteArray> named;
    for (icalcomponent* c : todos) {
        for (icalproperty* p = icalcomponent_get_first_property(c, ICAL_ANY_PROPERTY); p;
             p = icalcomponent_get_next_property(c, ICAL_ANY_PROPERTY)) {
            if (const char* tzid = icalproperty_get_parameter_as_string(p, "TZID"))
                named.insert(QByteArray(tzid));
        }
    }
    QList<QByteArray> names(named.cbegin(), named.cend());
    std::sort(names.begin(), names.end());
    for (const QByteArray& name : names) {
        if (icalcomponent* zone = zones.value(name))
            icalcomponent_add_component(calendar.get(), icalcomponent_new_clone(zone));
    }
    for (icalcomponent* c : todos) {
        icalcomponent* copy = icalcomponent_new_clone(c);
        // A to-do or event inside a to-do is no part of it (a broken file); its alarms are.
        for (icalcomponent_kind inner :
             {ICAL_VTODO_COMPONENT, ICAL_VEVENT_COMPONENT, ICAL_VJOURNAL_COMPONENT}) {
            while (icalcomponent* stray = icalcomponent_get_first_component(copy, inner)) {
                icalcomponent_remove_component(copy, stray);
                icalcomponent_free(stray);
            }
        }
        dropImpossibleTimes(copy);
        icalcomponent_add_component(calendar.get(), copy);
    }
    // libical's notes on what it couldn't read (an empty value it dropped) are its own, not the item's.
    icalcomponent_strip_errors(calendar.get());
    return QString::fromUtf8(taken(icalcomponent_as_ical_string_r(calendar.get())));
}

} // namespace

CalendarRead readCalendar(const QByteArray& text)
{
    CalendarRead out;
    const QHash<QByteArray, QList<int>> begins = beginLines(text);
    QHash<QByteArray, int> seen;
    auto lineOf = [&](icalcomponent_kind kind) {
        const QByteArray name = QByteArray(icalcomponent_kind_to_string(kind)).toUpper();
        const int n = seen[name]++;
        const QList<int> lines = begins.value(name);
        return n < lines.size() ? lines[n] : 0;
    };
    auto problem = [&](int line, const QString& what) { out.problems.push_back({line, what}); };

    // libical reads each line as a C string: a NUL would cut it there, and is never iCalendar text.
    // The copy is made only when there is one: a file of megabytes is read as it is.
    QByteArray readable = text;
    if (readable.contains('\0'))
        readable.removeIf([](char c) { return c == '\0'; });
    Component root = parseText(withoutOversizeLines(readable));
    if (!root) {
        problem(1, QStringLiteral("no calendar in it"));
        return out;
    }
    // One VCALENDAR, several one after another, or a bare VTODO.
    std::vector<icalcomponent*> calendars;
    if (icalcomponent_isa(root.get()) == ICAL_XROOT_COMPONENT) {
        for (icalcomponent* c = icalcomponent_get_first_component(root.get(), ICAL_VCALENDAR_COMPONENT); c;
             c = icalcomponent_get_next_component(root.get(), ICAL_VCALENDAR_COMPONENT))
            calendars.push_back(c);
    } else {
        calendars.push_back(root.get());
    }

    std::vector<Item> items;
    QHash<QByteArray, icalcomponent*> zones;
    QSet<QString> uids;
    auto take = [&](icalcomponent* c) {
        const icalcomponent_kind kind = icalcomponent_isa(c);
        const int line = lineOf(kind);
        if (kind == ICAL_VTIMEZONE_COMPONENT) {
            if (icalproperty* tzid = icalcomponent_get_first_property(c, ICAL_TZID_PROPERTY))
                zones.insert(QByteArray(icalproperty_get_tzid(tzid)), c);
            return;
        }
        if (kind != ICAL_VTODO_COMPONENT) {
            problem(line, QStringLiteral("%1, not a to-do").arg(kindName(kind)));
            return;
        }
        const QString uid = uidOf(c);
        if (const QString error = parseError(c); !error.isEmpty())
            problem(line, QStringLiteral("a to-do that can't be read (%1)").arg(error));
        else if (xProperty(c, kOversize) || biggestProperty(c) > kCalendarPropertyLimit)
            problem(line, QStringLiteral("a to-do with a property too big to read"));
        else if (uid.isEmpty())
            problem(line, QStringLiteral("a to-do without a UID"));
        else if (!icalcomponent_get_first_property(c, ICAL_SUMMARY_PROPERTY) ||
                 textValue(icalcomponent_get_summary(c)).trimmed().isEmpty())
            problem(line, QStringLiteral("a to-do without a title (SUMMARY)"));
        else if (icalcomponent_get_first_property(c, ICAL_RECURRENCEID_PROPERTY))
            problem(line, QStringLiteral("a changed repeat of %1, which is read without it").arg(uid));
        else if (uids.contains(uid))
            problem(line, QStringLiteral("a second to-do with the UID %1").arg(uid));
        else {
            uids.insert(uid);
            items.push_back({c, line, uid, parentOf(c)});
        }
    };
    for (icalcomponent* calendar : calendars) {
        if (icalcomponent_isa(calendar) != ICAL_VCALENDAR_COMPONENT) {
            take(calendar);
            continue;
        }
        for (icalcomponent* c = icalcomponent_get_first_component(calendar, ICAL_ANY_COMPONENT); c;
             c = icalcomponent_get_next_component(calendar, ICAL_ANY_COMPONENT))
            take(c);
    }

    // A subtask is a step of the top to-do above it; one whose parent isn't in the file is a thing.
    // A to-do is found by its UID, and by any second UID it carries (python3-caldav writes one of its
    // own before the one it was given, and its subtasks name the one given).
    QHash<QString, const Item*> byUid;
    for (const Item& item : items)
        byUid.insert(item.uid, &item);
    for (const Item& item : items) {
        for (icalproperty* p = icalcomponent_get_first_property(item.todo, ICAL_UID_PROPERTY); p;
             p = icalcomponent_get_next_property(item.todo, ICAL_UID_PROPERTY)) {
            if (const QString other = textValue(icalproperty_get_uid(p)).trimmed(); !byUid.contains(other))
                byUid.insert(other, &item);
        }
    }
    auto topOf = [&](const Item& item) -> const Item* {
        const Item* at = &item;
        QSet<QString> path{item.uid};
        while (!at->parent.isEmpty()) {
            const Item* up = byUid.value(at->parent);
            if (!up || path.contains(up->uid))
                break;
            path.insert(up->uid);
            at = up;
        }
        return at;
    };
    std::map<const Item*, std::vector<const Item*>> stepsOf;
    for (const Item& item : items) {
        if (const Item* top = topOf(item); top != &item)
            stepsOf[top].push_back(&item);
    }

    for (const Item& item : items) {
        if (topOf(item) != &item)
            continue;
        icalcomponent* c = item.todo;
        CalendarThing thing;
        thing.uid = item.uid;
        thing.title = textValue(icalcomponent_get_summary(c));
        thing.created = timeOf(c, ICAL_CREATED_PROPERTY).value_or(QDateTime());
        thing.modified = timeOf(c, ICAL_LASTMODIFIED_PROPERTY);
        readDone(c, thing.done, thing.doneAt);
        thing.someday =
            xValue(c, "X-VORN-SOMEDAY").trimmed().compare(QLatin1String("TRUE"), Qt::CaseInsensitive) == 0;
        if (!thing.someday) {
            thing.wake = timeOf(c, ICAL_DTSTART_PROPERTY);
            // What is due with no start shows on its day, as a thing woken that morning.
            if (!thing.wake) {
                if (const std::optional<QDateTime> due = timeOf(c, ICAL_DUE_PROPERTY))
                    thing.wake = QDateTime(due->toLocalTime().date(), QTime(0, 0));
            }
        }
        thing.zs = int(std::clamp<qint64>(xNumber(c, "X-VORN-ZCOUNT").value_or(0), 0, 1 << 30));
        thing.order = xNumber(c, "X-APPLE-SORT-ORDER");
        thing.list = xValue(c, "X-VORN-LIST");
        thing.list.removeIf([](QChar ch) { return ch.category() == QChar::Other_Control; });
        thing.list = thing.list.trimmed();
        thing.note = textValue(icalcomponent_get_description(c));
        thing.rtf = rtfOf(c);

        std::vector<const Item*> steps = stepsOf[&item];
        // Steps go by their sort order where they have one, else as the file has them.
        std::stable_sort(steps.begin(), steps.end(), [](const Item* a, const Item* b) {
            const std::optional<qint64> x = xNumber(a->todo, "X-APPLE-SORT-ORDER");
            const std::optional<qint64> y = xNumber(b->todo, "X-APPLE-SORT-ORDER");
            return x.value_or(LLONG_MAX) < y.value_or(LLONG_MAX);
        });
        std::vector<icalcomponent*> kept{c};
        for (const Item* s : steps) {
            CalendarStep step;
            step.uid = s->uid;
            step.title = textValue(icalcomponent_get_summary(s->todo));
            readDone(s->todo, step.done, step.doneAt);
            thing.steps.push_back(step);
            kept.push_back(s->todo);
        }
        // What came from us needs no keeping: the fields write it again as it was.
        if (!std::all_of(kept.begin(), kept.end(), onlyOurs))
            thing.kept = keptText(kept, zones);
        out.things.push_back(std::move(thing));
    }
    return out;
}

} // namespace vorn::ical
