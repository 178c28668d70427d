#include "store/Records.h"

#include "store/Dates.h"
#include "store/Store.h"

#include <QUuid>

#include <algorithm>

namespace vorn {

void Record::didChange(quint32 field, std::function<void(Record&)> undo)
{
    if (m_store)
        m_store->didChange(*this, field, std::move(undo));
}

std::shared_ptr<Thing> Thing::make(const QString& title, const QDateTime& createdAt,
                                   std::optional<QDateTime> snoozedUntil, Pile* pile, const QString& syncID)
{
    auto t = std::make_shared<Thing>();
    t->m_title = title;
    t->m_createdAt = createdAt.toUTC();
    t->m_snoozedUntil = std::move(snoozedUntil);
    t->m_sortKey = secondsSinceReferenceDate(createdAt);
    if (pile)
        t->m_pile = std::static_pointer_cast<Pile>(pile->shared_from_this());
    t->m_syncID = syncID.isEmpty() ? QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper() : syncID;
    return t;
}

void Thing::setSortKey(double v)
{
    assign(&Thing::m_sortKey, v, ThingSortKey);
}

void Thing::setPile(Pile* pile)
{
    if (m_pile.get() == pile)
        return;
    std::shared_ptr<Pile> old = m_pile;
    if (isLive() && old)
        std::erase(old->m_things, this);
    m_pile = pile ? std::static_pointer_cast<Pile>(pile->shared_from_this()) : nullptr;
    if (isLive() && pile && pile->isLive())
        pile->m_things.push_back(this);
    didChange(ThingPile, [old](Record& r) { static_cast<Thing&>(r).setPile(old.get()); });
}

std::vector<Step*> Thing::orderedSteps() const
{
    std::vector<Step*> out = m_steps;
    std::stable_sort(out.begin(), out.end(),
                     [](const Step* a, const Step* b) { return a->sortKey() < b->sortKey(); });
    return out;
}

std::optional<QString> Thing::stepProgress() const
{
    if (m_steps.empty())
        return std::nullopt;
    const auto done =
        std::count_if(m_steps.begin(), m_steps.end(), [](const Step* s) { return s->isDone(); });
    return QString::number(done) + u'/' + QString::number(m_steps.size());
}

std::shared_ptr<Pile> Pile::make(const QString& name, const QDateTime& createdAt)
{
    auto p = std::make_shared<Pile>();
    p->m_name = name;
    p->m_createdAt = createdAt.toUTC();
    p->m_sortKey = secondsSinceReferenceDate(createdAt);
    return p;
}

void Pile::setSortKey(double v)
{
    assign(&Pile::m_sortKey, v, PileSortKey);
}

std::shared_ptr<Step> Step::make(const QString& title, Thing* thing, const QDateTime& createdAt,
                                 const QString& syncID)
{
    auto s = std::make_shared<Step>();
    s->m_title = title;
    s->m_sortKey = secondsSinceReferenceDate(createdAt);
    if (thing)
        s->m_thing = std::static_pointer_cast<Thing>(thing->shared_from_this());
    s->m_syncID = syncID.isEmpty() ? QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper() : syncID;
    return s;
}

} // namespace vorn
