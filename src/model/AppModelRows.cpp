#include "model/AppModel.h"

#include "model/ListFilter.h"
#include "model/RelativeDate.h"

#include <climits>

#include <algorithm>
#include <limits>

namespace vorn {

Source AppModel::source(const Thing& thing) const
{
    if (thing.isDone())
        return Source::doneIsh;
    if (Pile* p = thing.pile())
        return Source::pile(p->id());
    return Source::list(m_schedule.list(std::nullopt, thing.snoozedUntil(), m_state.now));
}

namespace {

// Appends the things shown in `src` to `out` (wrapped by `wrap`), filtered, searched and ordered;
// rows() and visibleThings() share it so neither builds a list it then copies.
template <class Row, class Wrap, class Unwrap, class Visible>
void appendVisible(const Source& src, const std::vector<Thing*>& from, std::vector<Row>& out, Wrap wrap,
                   Unwrap unwrap, Visible visible)
{
    const size_t first = out.size();
    for (Thing* t : from) {
        if (visible(*t))
            out.push_back(wrap(t));
    }

    const auto begin = out.begin() + qsizetype(first);
    if (src == Source::later) {
        // By wake time, then by sort key; no wake time counts as the distant past.
        std::stable_sort(begin, out.end(), [&unwrap](const Row& ra, const Row& rb) {
            const Thing* a = unwrap(ra);
            const Thing* b = unwrap(rb);
            const qint64 wa = a->snoozedUntil() ? a->snoozedUntil()->toMSecsSinceEpoch() : LLONG_MIN;
            const qint64 wb = b->snoozedUntil() ? b->snoozedUntil()->toMSecsSinceEpoch() : LLONG_MIN;
            if (wa != wb)
                return wa < wb;
            return a->sortKey() < b->sortKey();
        });
    } else if (src == Source::doneIsh) {
        // Most recently done first.
        std::stable_sort(begin, out.end(), [&unwrap](const Row& ra, const Row& rb) {
            const Thing* a = unwrap(ra);
            const Thing* b = unwrap(rb);
            const qint64 da = a->doneAt() ? a->doneAt()->toMSecsSinceEpoch() : LLONG_MIN;
            const qint64 db = b->doneAt() ? b->doneAt()->toMSecsSinceEpoch() : LLONG_MIN;
            return da > db;
        });
    }
}

} // namespace

bool AppModel::isTodayFamilyRow(const SharedThing& row, const QString& today) const
{
    return row.day == today && (!row.done || m_state.lingeringShared.contains(row.id));
}

std::vector<Thing*> AppModel::visibleThings(const Source& src) const
{
    std::vector<Thing*> out;
    const ListFilter filter(*this, src);
    appendVisible(
        src, allThings(), out, [](Thing* t) { return t; }, [](Thing* t) { return t; },
        [&](const Thing& t) { return filter.shows(t); });
    return out;
}

std::vector<ListRow> AppModel::rows(const Source& src, bool includeFamily) const
{
    std::vector<ListRow> out;
    const ListFilter filter(*this, src);
    appendVisible(
        src, allThings(), out, [](Thing* t) { return ListRow::thing(t); },
        [](const ListRow& r) { return r.thing(); }, [&](const Thing& t) { return filter.shows(t); });
    if (!includeFamily || src != Source::today)
        return out;
    std::vector<SharedThing> family = todayFromOthers();
    if (family.empty())
        return out;
    for (SharedThing& f : family)
        out.push_back(ListRow::shared(std::move(f)));
    // Own rows come first, so a stable sort keeps them ahead of family rows with an equal key.
    std::stable_sort(out.begin(), out.end(),
                     [this](const ListRow& a, const ListRow& b) { return orderKey(a) < orderKey(b); });
    return out;
}

double AppModel::orderKey(const ListRow& row) const
{
    if (Thing* t = row.thing())
        return t->sortKey();
    // Family rows nobody has placed yet go last.
    return externalOrder().value(row.sharedThing()->id, std::numeric_limits<double>::max());
}

int AppModel::count(const Source& src) const
{
    const std::vector<Thing*>& all = allThings();
    return int(std::count_if(all.begin(), all.end(), [&](const Thing* t) { return source(*t) == src; }));
}

std::optional<QString> AppModel::meta(const Thing& thing, const Source& src) const
{
    if (src.isPile())
        return std::nullopt;
    switch (*src.todoList()) {
    case TodoList::today:
        if (thing.zCount() < 3 || thing.isDone()) {
            if (thing.cameFrom())
                return thing.cameFrom()->toLower();
            return std::nullopt;
        }
        return QStringLiteral("snoozed %1×. delete it? no judgment.").arg(thing.zCount());
    case TodoList::later:
        if (thing.snoozedUntil())
            return m_schedule.wakeLabel(*thing.snoozedUntil(), m_state.now);
        return std::nullopt;
    case TodoList::doneIsh:
        if (!thing.doneAt())
            return std::nullopt;
        if (m_schedule.isSameDay(*thing.doneAt(), m_state.now))
            return QStringLiteral("today");
        return relativeDateText(*thing.doneAt(), m_state.now, m_schedule);
    }
    return std::nullopt;
}

QString AppModel::title(const Source& src) const
{
    if (auto list = src.todoList()) {
        switch (*list) {
        case TodoList::today:
            return QStringLiteral("today");
        case TodoList::later:
            return QStringLiteral("later");
        case TodoList::doneIsh:
            return QStringLiteral("done-ish");
        }
    }
    if (Pile* p = pile(*src.pileID()))
        return p->name().toLower();
    return QStringLiteral("pile");
}

std::vector<Thing*> AppModel::things(const QSet<RowID>& ids) const
{
    std::vector<Thing*> out;
    for (const RowID& id : ids) {
        if (auto thingID = id.thingID()) {
            if (Thing* t = m_store->thing(*thingID))
                out.push_back(t);
        }
    }
    return out;
}

std::vector<SharedThing> AppModel::todayFromOthers() const
{
    std::vector<SharedThing> out;
    if (familyThings().empty())
        return out;
    const QString today = todayISO();
    for (const SharedThing& s : familyThings()) {
        if (isTodayFamilyRow(s, today))
            out.push_back(s);
    }
    return out;
}

std::vector<SharedThing> AppModel::sharedThings(const QSet<RowID>& ids) const
{
    std::vector<SharedThing> out;
    for (const SharedThing& s : familyThings()) {
        if (ids.contains(RowID::shared(s.id)))
            out.push_back(s);
    }
    return out;
}

std::optional<SharedThing> AppModel::sharedThing(const QString& id) const
{
    for (const SharedThing& s : familyThings()) {
        if (s.id == id)
            return s;
    }
    return std::nullopt;
}

std::vector<Thing*> AppModel::thingsInListOrder(const QSet<RowID>& ids) const
{
    // A set has no order of its own; what the user sees is the order they expect to get back.
    QSet<RecordId> wanted;
    for (const Thing* thing : things(ids))
        wanted.insert(thing->id());
    std::vector<Thing*> out;
    out.reserve(std::size_t(wanted.size()));
    auto take = [&](Thing* thing) {
        if (wanted.remove(thing->id()))
            out.push_back(thing);
    };
    if (const std::optional<Source> shown = source()) {
        for (Thing* thing : visibleThings(*shown))
            take(thing);
    }
    for (Thing* thing : allThings()) {
        if (wanted.isEmpty())
            break;
        take(thing);
    }
    return out;
}

} // namespace vorn
