#pragma once

#include "store/RecordId.h"

#include <QHash>
#include <QtGlobal>

#include <vector>

namespace vorn {

// What happened to one record during a batch of changes. Both flags may be set: inserted and deleted
// again, or deleted and brought back by an undo; the store says whether it is live now.
struct RecordChange {
    RecordId id;
    bool inserted = false; // inserted, or brought back by undo or redo
    bool deleted = false;  // deleted, or its insert undone
    quint32 fields = 0;    // fields assigned while it was live, as the kind's field flags (ThingTitle, …)
};

// One batch of the store's change feed: every record that changed, once, in the order each first
// changed within the batch.
class StoreChanges {
public:
    quint64 batch() const { return m_batch; }
    const std::vector<RecordChange>& records() const { return m_records; }
    bool isEmpty() const { return m_records.empty(); }
    // The record's entry; none when it didn't change in this batch.
    const RecordChange* find(RecordId id) const
    {
        const auto it = m_index.constFind(id);
        return it == m_index.cend() ? nullptr : &m_records[*it];
    }
    bool touches(EntityKind kind) const
    {
        for (const RecordChange& c : m_records) {
            if (c.id.kind == kind)
                return true;
        }
        return false;
    }

private:
    friend class Store;
    RecordChange& entry(RecordId id)
    {
        const auto it = m_index.constFind(id);
        if (it != m_index.cend())
            return m_records[*it];
        m_index.insert(id, m_records.size());
        m_records.push_back({id});
        return m_records.back();
    }

    quint64 m_batch = 0;
    std::vector<RecordChange> m_records;
    QHash<RecordId, size_t> m_index;
};

} // namespace vorn
