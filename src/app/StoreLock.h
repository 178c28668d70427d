#pragma once

#include <QLockFile>

#include <memory>

namespace vorn {

struct Launch;

// Two processes on one store would each save over the other's things, and each mirror would tombstone
// the other's new ones in the family file, so one process writes the store at a time. The lock belongs
// to the process: one that died leaves a stale lock the next start takes over. False when a live
// process holds it; true (with `lock` empty) for a store in memory or a folder the store's own open
// will report on.
bool lockStore(const Launch& launch, std::unique_ptr<QLockFile>& lock);

} // namespace vorn
