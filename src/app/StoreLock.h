#pragma once

#include <QDBusConnection>
#include <QLockFile>

#include <functional>
#include <memory>
#include <optional>

namespace vorn {

struct Launch;

// Two processes on one store would each save over the other's things, and each mirror would tombstone
// the other's new ones in the family file, so one process writes the store at a time. The lock belongs
// to the process: one that died leaves a stale lock the next start takes over. False when a live
// process holds it; true (with `lock` empty) for a store in memory or a folder the store's own open
// will report on.
bool lockStore(const Launch& launch, std::unique_ptr<QLockFile>& lock);

// For a command that acts through the running app when there is one. `throughApp` answers -1 when no
// app is running, else the command's exit code. Nothing: no app runs and `lock` now holds the store,
// which is the caller's to write. Otherwise the exit code: the app's answer (also from an app that
// holds the store but reaches the bus only after a wait), or 1 when it never answers.
std::optional<int> throughAppOrLockedStore(const Launch& launch, QDBusConnection bus,
                                           const std::function<int()>& throughApp,
                                           std::unique_ptr<QLockFile>& lock);

} // namespace vorn
