#include "model/sync/SyncBaseline.h"

namespace vorn {

SyncBaseline::Agreed SyncBaseline::agreed(const SharedThing& row)
{
    return {row.done, row.day, row.title, row.noteID, row.note, row.steps, row.day};
}

SyncBaseline::RowFields SyncBaseline::localChanges(const SharedThing& local) const
{
    const auto it = m_rows.constFind(local.id);
    if (it == m_rows.cend())
        return 0;
    RowFields changed = 0;
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

void SyncBaseline::agree(const SharedThing& local, RowFields pending, const SharedThing& row)
{
    const auto it = m_rows.find(local.id);
    if (it == m_rows.end() || pending == 0) {
        Agreed& a = m_rows.insert(local.id, agreed(local)).value();
        a.fileDay = row.day;
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
    a.fileDay = row.day;
}

bool SyncBaseline::dayIsNews(const SharedThing& row) const
{
    const auto it = m_rows.constFind(row.id);
    return it == m_rows.cend() || it->fileDay != row.day;
}

void SyncBaseline::ownDay(const SharedThing& local, const SharedThing& row)
{
    if (m_rows.contains(local.id))
        return;
    Agreed a = agreed(local);
    a.fileDay = row.day;
    m_rows.insert(local.id, std::move(a));
}

} // namespace vorn
