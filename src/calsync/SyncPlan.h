#pragma once

#include "ical/CalendarTodo.h"

#include <QDateTime>
#include <QString>

#include <optional>
#include <vector>

namespace vorn::calsync {

// One thing as this side knows it.
struct LocalEntry {
    QString uid;
    std::optional<ical::CalendarThing> ours; // none: deleted here since the last sync
    std::optional<ical::CalendarThing> base; // the last copy both sides agreed on; none: never agreed
    QDateTime modified;                      // when it last changed here
    bool changed = false;                    // changed here since the last sync
    QString href;                            // where the server held it at the last sync; empty: never sent
    QString etag;                            // its ETag then
    // What a PUT of ours carried that no sync before this one saw land (stopped before the answer came);
    // none: nothing such. See baseAfterSend.
    std::optional<ical::CalendarThing> sent;
};

struct ServerEntry {
    QString href;
    QString etag;
    std::optional<ical::CalendarThing> theirs; // what it holds; needed when the ETag is not the one we know
};

// What the server said: what changed since the last sync (or everything), and what went.
struct ServerView {
    std::vector<ServerEntry> items;
    std::vector<QString> removed; // hrefs
    bool complete = false;        // `items` is everything there: an href it doesn't list is gone
};

enum class SyncActionKind {
    PutNew,       // PUT with If-None-Match: *
    PutChanged,   // PUT with If-Match: etag
    Delete,       // DELETE with If-Match: etag
    TakeTheirs,   // the model takes the server's copy; nothing goes out
    MergeThenPut, // the model takes the merged copy, then PUT with If-Match: etag
    DropHere,     // gone over there and unchanged here: the model lets it go
    Forget,       // deleted here and not on the server (any more): only our record of it goes
};

struct SyncAction {
    SyncActionKind kind;
    QString uid;
    QString href;                             // empty for a PutNew of a thing never sent: the caller names it
    QString etag;                             // for If-Match, and what TakeTheirs now agrees on
    std::optional<ical::CalendarThing> thing; // what goes out or what the model takes
    friend bool operator==(const SyncAction&, const SyncAction&) = default;
};

// The requests and model changes that bring both sides together; a thing already in step has none. An
// item the server changed needs its `theirs`; without it the thing is planned as unchanged there, and a
// PUT's If-Match then brings the news as a 412 instead.
std::vector<SyncAction> planSync(const std::vector<LocalEntry>& local, const ServerView& server);

} // namespace vorn::calsync
