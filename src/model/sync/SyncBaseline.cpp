#include "model/sync/SyncBaseline.h"

namespace vorn {

SyncBaseline::Agreed SyncBaseline::agreed(const SharedThing& row)
{
    return {row.done, row.day, row.title, row.noteID, row.note, row.steps};
}

SyncBaseline::Fields SyncBaseline::localChanges(const SharedThing& local) const
{
    const auto it = m_rows.constFind(local.id);
    if (it == m_rows.cend())
        return 0;
    Fields changed = 0;
    if (it->done != local.done)
        changed |= Done;
    if (it->day != local.day)
        changed |= Day;
    if (it->title != local.title)
        changed |= Title;
    if (it->noteID != local.noteID || it->note != local.note)
        changed |= Note;
    if (it->steps != local.steps)
        changed |= Steps;
    return changed;
}

void SyncBaseline::mirrored(std::span<const SharedThing> rows)
{
    for (const SharedThing& row : rows)
        m_rows.insert(row.id, agreed(row));
}

void SyncBaseline::agree(const SharedThing& local, Fields pending)
{
    const auto it = m_rows.find(local.id);
    if (it == m_rows.end() || pending == 0) {
        m_rows.insert(local.id, agreed(local));
        return;
    }
    Agreed& a = *it;
    if (!(pending & Done))
        a.done = local.done;
    if (!(pending & Day))
        a.day = local.day;
    if (!(pending & Title))
        a.title = local.title;
    if (!(pending & Note)) {
        a.noteID = local.noteID;
        a.note = local.note;
    }
    if (!(pending & Steps))
        a.steps = local.steps;
}

} // namespace vorn
