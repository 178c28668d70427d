#include "ical/CalendarScan.h"
#include "ical/CalendarTodo.h"
#include "ical/Libical.h"
#include "ical/Parallel.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QStringList>

#include <algorithm>
#include <bitset>
#include <map>

namespace vorn::ical {

using namespace detail;

namespace {

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

// A component directly inside a calendar, with what is known of it before the file's order is.
struct Seen {
    icalcomponent* c = nullptr;
    icalcomponent_kind kind = ICAL_NO_COMPONENT;
    QString uid;
    QString parent;        // RELATED-TO with RELTYPE=PARENT (the default)
    QStringList otherUids; // any UID after the first
    QString error;         // what libical couldn't read in it
    bool marked = false;   // a line put aside as too long to read
    bool titled = false;
    bool repeat = false; // a changed repeat (RECURRENCE-ID)
};

struct Item {
    icalcomponent* todo;
    int line;
    QString uid;
    QString parent;
    int part;
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

// The first of the kind that holds a time: one that doesn't (a month 24) is not written out again, so
// reading past it reads what the next reader of our file will find.
std::optional<QDateTime> timeOf(icalcomponent* c, icalproperty_kind kind)
{
    for (icalproperty* p = icalcomponent_get_first_property(c, kind); p;
         p = icalcomponent_get_next_property(c, kind)) {
        const char* tzid = icalproperty_get_parameter_as_string(p, "TZID");
        // With the component, libical finds the zone in the VTIMEZONE of the calendar around it.
        if (std::optional<QDateTime> t = qtTime(icalproperty_get_datetime_with_component(p, c), tzid))
            return t;
    }
    return std::nullopt;
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
    static const char* const ourX[] = {"X-VORN-SOMEDAY", "X-VORN-ZCOUNT", "X-VORN-LIST",
                                       "X-APPLE-SORT-ORDER"};
    std::bitset<ICAL_NO_PROPERTY + std::size(ourX)> seen; // each property of ours at most once
    for (icalproperty* p = icalcomponent_get_first_property(c, ICAL_ANY_PROPERTY); p;
         p = icalcomponent_get_next_property(c, ICAL_ANY_PROPERTY)) {
        const int parameters = icalproperty_count_parameters(p);
        const icalproperty_kind kind = icalproperty_isa(p);
        std::size_t bit = std::size_t(kind);
        switch (kind) {
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
            if (parameters != 0 || !name)
                return false;
            const auto* x = std::find_if(std::begin(ourX), std::end(ourX),
                                         [name](const char* ours) { return qstrcmp(name, ours) == 0; });
            if (x == std::end(ourX))
                return false;
            bit = ICAL_NO_PROPERTY + std::size_t(x - std::begin(ourX));
            break;
        }
        default:
            return false;
        }
        if (seen.test(bit))
            return false;
        seen.set(bit);
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

Seen seenOf(icalcomponent* c)
{
    Seen s;
    s.c = c;
    s.kind = icalcomponent_isa(c);
    if (s.kind != ICAL_VTODO_COMPONENT)
        return s;
    s.uid = uidOf(c);
    s.parent = parentOf(c);
    s.error = parseError(c);
    s.marked = xProperty(c, kOversize) != nullptr;
    s.titled = icalcomponent_get_first_property(c, ICAL_SUMMARY_PROPERTY) &&
               !textValue(icalcomponent_get_summary(c)).trimmed().isEmpty();
    s.repeat = icalcomponent_get_first_property(c, ICAL_RECURRENCEID_PROPERTY) != nullptr;
    icalproperty* first = icalcomponent_get_first_property(c, ICAL_UID_PROPERTY);
    for (icalproperty* p = first ? icalcomponent_get_next_property(c, ICAL_UID_PROPERTY) : nullptr; p;
         p = icalcomponent_get_next_property(c, ICAL_UID_PROPERTY))
        s.otherUids.push_back(textValue(icalproperty_get_uid(p)).trimmed());
    return s;
}

// The zones of one parsed text by TZID; a later one of a name stands for it, as the file is read.
QHash<QByteArray, icalcomponent*> zonesOf(icalcomponent* root)
{
    QHash<QByteArray, icalcomponent*> zones;
    auto add = [&](icalcomponent* calendar) {
        for (icalcomponent* c = icalcomponent_get_first_component(calendar, ICAL_VTIMEZONE_COMPONENT); c;
             c = icalcomponent_get_next_component(calendar, ICAL_VTIMEZONE_COMPONENT)) {
            if (icalproperty* tzid = icalcomponent_get_first_property(c, ICAL_TZID_PROPERTY))
                zones.insert(QByteArray(icalproperty_get_tzid(tzid)), c);
        }
    };
    if (icalcomponent_isa(root) == ICAL_XROOT_COMPONENT) {
        for (icalcomponent* c = icalcomponent_get_first_component(root, ICAL_VCALENDAR_COMPONENT); c;
             c = icalcomponent_get_next_component(root, ICAL_VCALENDAR_COMPONENT))
            add(c);
    } else if (icalcomponent_isa(root) == ICAL_VCALENDAR_COMPONENT) {
        add(root);
    }
    return zones;
}

// One text libical read: its tree, its own items in order, and its zones.
struct Part {
    Component root;
    std::vector<Seen> seen;
    QHash<QByteArray, icalcomponent*> zones;
};

// A whole text: one VCALENDAR, several one after another, or a bare item.
void readWhole(const QByteArray& text, Part& part)
{
    part.root = parseText(text);
    if (!part.root)
        return;
    icalcomponent* root = part.root.get();
    auto items = [&](icalcomponent* calendar) {
        for (icalcomponent* c = icalcomponent_get_first_component(calendar, ICAL_ANY_COMPONENT); c;
             c = icalcomponent_get_next_component(calendar, ICAL_ANY_COMPONENT))
            part.seen.push_back(seenOf(c));
    };
    if (icalcomponent_isa(root) == ICAL_XROOT_COMPONENT) {
        for (icalcomponent* c = icalcomponent_get_first_component(root, ICAL_VCALENDAR_COMPONENT); c;
             c = icalcomponent_get_next_component(root, ICAL_VCALENDAR_COMPONENT))
            items(c);
    } else if (icalcomponent_isa(root) == ICAL_VCALENDAR_COMPONENT) {
        items(root);
    } else {
        part.seen.push_back(seenOf(root));
    }
    part.zones = zonesOf(root);
}

// One part of a cut calendar; false when libical didn't read it as the cut meant (then the whole text
// is read at once). libical puts a calendar's zones before its other items; their order among
// themselves and the others' stays.
bool readPart(const TextPart& text, Part& part)
{
    part.root = parseText(text.text);
    if (!part.root || icalcomponent_isa(part.root.get()) != ICAL_VCALENDAR_COMPONENT)
        return false;
    icalcomponent* root = part.root.get();
    int zones = 0;
    for (icalcomponent* c = icalcomponent_get_first_component(root, ICAL_ANY_COMPONENT); c;
         c = icalcomponent_get_next_component(root, ICAL_ANY_COMPONENT)) {
        // A zone is every part's: it is looked at once, in the zones of the part.
        if (icalcomponent_isa(c) == ICAL_VTIMEZONE_COMPONENT)
            ++zones;
        else
            part.seen.push_back(seenOf(c));
    }
    part.zones = zonesOf(root);
    return zones == text.zones && int(part.seen.size()) == text.items;
}

CalendarThing thingOf(const Item& item, std::vector<const Item*> steps,
                      const QHash<QByteArray, icalcomponent*>& zones)
{
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
    return thing;
}

// Below this a file is read in one piece: threads would cost more than they save.
constexpr qsizetype kSplitSize = 256 * 1024;

} // namespace

CalendarRead readCalendar(const QByteArray& text)
{
    return readCalendar(text, text.size() < kSplitSize ? 1 : partsForCores());
}

CalendarRead readCalendar(const QByteArray& text, int parts)
{
    CalendarRead out;
    auto problem = [&](int line, const QString& what) { out.problems.push_back({line, what}); };

    // libical reads each line as a C string: a NUL would cut it there, and is never iCalendar text.
    // The copy is made only when there is one: a file of megabytes is read as it is.
    QByteArray readable = text;
    if (readable.contains('\0'))
        readable.removeIf([](char c) { return c == '\0'; });
    readable = withoutOversizeLines(readable);
    const TextScan scan = scanText(readable);

    // The parts are read side by side, each by its own thread, and every later step that touches an
    // item stays on its part's thread while the threads run: libical's trees aren't shared between them.
    std::vector<Part> read;
    {
        const std::vector<TextPart> texts = splitText(readable, scan, std::max(1, parts));
        read.resize(texts.size());
        bool cut = texts.size() > 1;
        if (cut) {
            // libical makes the UTC zone and its settings once; done here, before any thread asks.
            icaltimezone_get_utc_timezone();
            std::vector<char> ok(texts.size(), 0);
            inParallel(int(texts.size()), [&](int k) {
                ok[std::size_t(k)] = readPart(texts[std::size_t(k)], read[std::size_t(k)]);
            });
            cut = std::all_of(ok.begin(), ok.end(), [](char b) { return b != 0; });
        }
        if (!cut) {
            read.clear();
            read.resize(1);
            readWhole(readable, read.front());
        }
    }
    if (!read.front().root) {
        problem(1, QStringLiteral("no calendar in it"));
        return out;
    }

    QHash<QByteArray, int> counted;
    auto lineOf = [&](icalcomponent_kind kind) {
        const QByteArray name = QByteArray(icalcomponent_kind_to_string(kind)).toUpper();
        const int n = counted[name]++;
        const QList<int> lines = scan.begins.value(name);
        return n < lines.size() ? lines[n] : 0;
    };
    std::vector<Item> items;
    QSet<QString> uids;
    for (std::size_t k = 0; k < read.size(); ++k) {
        for (const Seen& s : read[k].seen) {
            const int line = lineOf(s.kind);
            if (s.kind == ICAL_VTIMEZONE_COMPONENT)
                continue;
            if (s.kind != ICAL_VTODO_COMPONENT)
                problem(line, QStringLiteral("%1, not a to-do").arg(kindName(s.kind)));
            else if (!s.error.isEmpty())
                problem(line, QStringLiteral("a to-do that can't be read (%1)").arg(s.error));
            else if (s.marked || scan.tooBig.contains(line))
                problem(line, QStringLiteral("a to-do with a property too big to read"));
            else if (s.uid.isEmpty())
                problem(line, QStringLiteral("a to-do without a UID"));
            else if (!s.titled)
                problem(line, QStringLiteral("a to-do without a title (SUMMARY)"));
            else if (s.repeat)
                problem(line, QStringLiteral("a changed repeat of %1, which is read without it").arg(s.uid));
            else if (uids.contains(s.uid))
                problem(line, QStringLiteral("a second to-do with the UID %1").arg(s.uid));
            else {
                uids.insert(s.uid);
                items.push_back({s.c, line, s.uid, s.parent, int(k)});
            }
        }
    }

    // A subtask is a step of the top to-do above it; one whose parent isn't in the file is a thing.
    // A to-do is found by its UID, and by any second UID it carries (python3-caldav writes one of its
    // own before the one it was given, and its subtasks name the one given).
    QHash<QString, const Item*> byUid;
    for (const Item& item : items)
        byUid.insert(item.uid, &item);
    {
        std::size_t i = 0;
        for (const Part& part : read) {
            for (const Seen& s : part.seen) {
                if (i < items.size() && items[i].todo == s.c) {
                    for (const QString& other : s.otherUids) {
                        if (!byUid.contains(other))
                            byUid.insert(other, &items[i]);
                    }
                    ++i;
                }
            }
        }
    }
    auto topOf = [&](const Item& item) -> const Item* {
        // Most are a thing or a step of one: no path to keep for those.
        const Item* above = item.parent.isEmpty() ? nullptr : byUid.value(item.parent);
        if (!above || above == &item)
            return &item;
        if (above->parent.isEmpty())
            return above;
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
    std::vector<const Item*> tops;
    QHash<const Item*, std::vector<const Item*>> stepsOf;
    for (const Item& item : items) {
        if (const Item* top = topOf(item); top != &item)
            stepsOf[top].push_back(&item);
        else
            tops.push_back(&item);
    }

    // Each thing is made on the thread of its part; one with a step in another part after the threads.
    std::vector<CalendarThing> things(tops.size());
    std::vector<std::vector<std::size_t>> byPart(read.size());
    std::vector<std::size_t> across;
    for (std::size_t i = 0; i < tops.size(); ++i) {
        const std::vector<const Item*>& steps = stepsOf[tops[i]];
        const bool alone =
            std::all_of(steps.begin(), steps.end(), [&](const Item* s) { return s->part == tops[i]->part; });
        (alone ? byPart[std::size_t(tops[i]->part)] : across).push_back(i);
    }
    auto make = [&](std::size_t i) {
        things[i] = thingOf(*tops[i], stepsOf.value(tops[i]), read[std::size_t(tops[i]->part)].zones);
    };
    inParallel(int(read.size()), [&](int k) {
        for (std::size_t i : byPart[std::size_t(k)])
            make(i);
    });
    for (std::size_t i : across)
        make(i);
    out.things = std::move(things);
    // The trees go as they came, side by side.
    inParallel(int(read.size()), [&](int k) { read[std::size_t(k)] = Part(); });
    return out;
}

} // namespace vorn::ical
