#include "model/AppModel.h"

#include "store/Dates.h"

#include <algorithm>

namespace vorn {

namespace {

// Folds case and strips accents, so "MILK" finds "Oat milk" and "cafe" finds "Café".
QString searchForm(const QString& text)
{
    const QString decomposed = text.normalized(QString::NormalizationForm_KD);
    QString out;
    out.reserve(decomposed.size());
    for (QChar c : decomposed) {
        const auto category = c.category();
        if (category == QChar::Mark_NonSpacing || category == QChar::Mark_Enclosing)
            continue;
        out.append(c);
    }
    return out.toCaseFolded();
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

std::vector<Thing*> AppModel::visibleThings(const Source& src, const std::vector<Thing*>& from) const
{
    const std::optional<Source> showing = m_tab.source();
    const bool lingerHere = showing && *showing == src && !m_lingering.isEmpty();
    const QString needle = m_searchText.isEmpty() ? QString() : searchForm(m_searchText);

    std::vector<Thing*> out;
    for (Thing* t : from) {
        if (!(source(*t) == src || (lingerHere && m_lingering.contains(t->id()))))
            continue;
        if (!needle.isEmpty() && !searchForm(t->title()).contains(needle))
            continue;
        out.push_back(t);
    }

    if (src == Source::later) {
        const QDateTime past = distantPast();
        std::stable_sort(out.begin(), out.end(), [&past](const Thing* a, const Thing* b) {
            const QDateTime& wa = a->snoozedUntil() ? *a->snoozedUntil() : past;
            const QDateTime& wb = b->snoozedUntil() ? *b->snoozedUntil() : past;
            if (wa != wb)
                return wa < wb;
            return a->sortKey() < b->sortKey();
        });
    } else if (src == Source::doneIsh) {
        const QDateTime past = distantPast();
        std::stable_sort(out.begin(), out.end(), [&past](const Thing* a, const Thing* b) {
            const QDateTime& da = a->doneAt() ? *a->doneAt() : past;
            const QDateTime& db = b->doneAt() ? *b->doneAt() : past;
            return da > db;
        });
    }
    return out;
}

int AppModel::count(const Source& src, const std::vector<Thing*>& from) const
{
    return int(std::count_if(from.begin(), from.end(), [&](const Thing* t) { return source(*t) == src; }));
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
