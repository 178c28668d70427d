#pragma once

#include "family/SharedThing.h"

#include <QHash>
#include <QString>

#include <optional>
#include <span>
#include <vector>

namespace vorn {

// What the family file holds of each of our rows, as far as this process knows: what its last mirror
// wrote, and the planner's edits it adopted since. A field in which a thing now differs from that was
// changed here and is not mirrored yet: a refresh leaves that field alone (our next mirror wins it) and
// still takes the planner's edits of every other field, and of every other thing.
class SyncBaseline {
public:
    // The fields of a family row this process mirrors and adopts.
    enum RowField : unsigned {
        Done = 1u << 0,
        Day = 1u << 1,
        Title = 1u << 2,
        Note = 1u << 3,
        Steps = 1u << 4,
    };
    using RowFields = unsigned;

    // The fields of `local` (a thing as its row would be written now) changed here since the last
    // agreement; none for a row not seen yet in this run (what the file says then is the latest news).
    RowFields localChanges(const SharedThing& local) const;
    // A mirror is writing these rows.
    void mirrored(std::span<const SharedThing> rows);
    // A refresh has settled on `local`, except in the `pending` fields, which keep their agreed value,
    // after reading `row` from the file.
    void agree(const SharedThing& local, RowFields pending, const SharedThing& row);
    // Whether the file's day for `row` is the planner's news: a day the file didn't hold when we last
    // wrote or read the row. Unknown rows are news.
    bool dayIsNews(const SharedThing& row) const;
    // Before a row is first read in this run: its day is one we wrote ourselves (an earlier run's mirror,
    // on a day or in a time zone that may not be today's here), and no edit of the planner.
    void ownDay(const SharedThing& local, const SharedThing& row);
    bool knows(const QString& id) const { return m_rows.contains(id); }

private:
    struct Agreed {
        bool done = false;
        std::optional<QString> day;
        QString title;
        std::optional<QString> noteID;
        QString note;
        std::vector<SharedStep> steps;
        // The day the file holds, as last written or read by us.
        std::optional<QString> fileDay;
    };
    static Agreed agreed(const SharedThing& row);
    QHash<QString, Agreed> m_rows;
};

} // namespace vorn
