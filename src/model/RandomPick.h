#pragma once

#include "store/RecordId.h"

#include <functional>
#include <optional>
#include <vector>

namespace vorn {

class Thing;

// The "Can't decide?" pick: which thing is on offer, and how another one is drawn.
class RandomPick {
public:
    const std::optional<RecordId>& current() const { return m_pick; }
    // The thing on offer among `things`; none once it was done or deleted.
    Thing* currentIn(const std::vector<Thing*>& things) const;
    // Draws another open thing, never the current one: from those `inToday` says are on today's plate,
    // or from all of them when Today has none. A lone open pick stays; one gone or done is dropped.
    // Returns whether the pick changed.
    bool reroll(const std::vector<Thing*>& things, const std::function<bool(const Thing&)>& inToday);
    // Forgets the pick; returns whether there was one.
    bool clear();

private:
    std::optional<RecordId> m_pick;
};

} // namespace vorn
