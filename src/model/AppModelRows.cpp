#include "model/AppModel.h"

#include "model/RelativeDate.h"

#include <climits>

#include <unicode/uchar.h>
#include <unicode/ustring.h>

#include <algorithm>
#include <limits>

namespace vorn {

namespace {

// Folds case fully (so "ß" meets "ss") and strips accents, so "MILK" finds "Oat milk" and "cafe" finds
// "Café".
QString searchForm(const QString& text)
{
    const QString decomposed = text.normalized(QString::NormalizationForm_KD);
    QString stripped;
    stripped.reserve(decomposed.size());
    for (QChar c : decomposed) {
        const auto category = c.category();
        if (category != QChar::Mark_NonSpacing && category != QChar::Mark_Enclosing)
            stripped.append(c);
    }
    const auto* source = reinterpret_cast<const UChar*>(stripped.utf16());
    QString folded(stripped.size() * 3 + 1, Qt::Uninitialized);
    UErrorCode status = U_ZERO_ERROR;
    const int32_t n = u_strFoldCase(reinterpret_cast<UChar*>(folded.data()), int32_t(folded.size()), source,
                                    int32_t(stripped.size()), U_FOLD_CASE_DEFAULT, &status);
    if (U_FAILURE(status))
        return stripped.toCaseFolded();
    folded.truncate(n);
    return folded;
}

} // namespace

Source AppModel::source(const Thing& thing) const
{
    if (thing.isDone())
        return Source::doneIsh;
    if (Pile* p = thing.pile())
        return Source::pile(p->id());
    return Source::list(m_schedule.list(std::nullopt, thing.snoozedUntil(), m_now));
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

AppModel::Visibility AppModel::visibility(const Source& src) const
{
    Visibility v;
    const std::optional<Source> showing = m_tab.source();
    v.lingerHere = showing && *showing == src && !m_lingering.isEmpty();
    if (!m_searchText.isEmpty())
        v.needle = searchForm(m_searchText);
    return v;
}

bool AppModel::isVisible(const Thing& t, const Source& src, const Visibility& v) const
{
    // Lingering things stay only in the list of the tab that is showing.
    if (!(source(t) == src || (v.lingerHere && m_lingering.contains(t.id()))))
        return false;
    return v.needle.isEmpty() || searchForm(t.title()).contains(v.needle);
}

bool AppModel::isTodayFamilyRow(const SharedThing& row, const QString& today) const
{
    return row.day == today && (!row.done || m_lingeringShared.contains(row.id));
}

std::vector<Thing*> AppModel::visibleThings(const Source& src) const
{
    std::vector<Thing*> out;
    const Visibility v = visibility(src);
    appendVisible(
        src, allThings(), out, [](Thing* t) { return t; }, [](Thing* t) { return t; },
        [&](const Thing& t) { return isVisible(t, src, v); });
    return out;
}

std::vector<ListRow> AppModel::rows(const Source& src, bool includeFamily) const
{
    std::vector<ListRow> out;
    const Visibility v = visibility(src);
    appendVisible(
        src, allThings(), out, [](Thing* t) { return ListRow::thing(t); },
        [](const ListRow& r) { return r.thing(); }, [&](const Thing& t) { return isVisible(t, src, v); });
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
            return m_schedule.wakeLabel(*thing.snoozedUntil(), m_now);
        return std::nullopt;
    case TodoList::doneIsh:
        if (!thing.doneAt())
            return std::nullopt;
        if (m_schedule.isSameDay(*thing.doneAt(), m_now))
            return QStringLiteral("today");
        return relativeDateText(*thing.doneAt(), m_now, m_schedule);
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

} // namespace vorn

namespace vorn {

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

void AppModel::replaceFamilyThings(std::vector<SharedThing> rows)
{
    m_sync->replaceRows(std::move(rows));
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

} // namespace vorn
