#include "app/StoreLock.h"

#include "model/Startup.h"

#include <QDir>
#include <QFileInfo>

namespace vorn {

bool lockStore(const Launch& launch, std::unique_ptr<QLockFile>& lock)
{
    const QString path = launch.storeLockPath();
    if (path.isEmpty())
        return true;
    QDir().mkpath(QFileInfo(path).absolutePath());
    lock = std::make_unique<QLockFile>(path);
    // Only a dead owner makes a lock stale; by age alone a long day's lock would be taken over.
    lock->setStaleLockTime(0);
    if (lock->tryLock(0))
        return true;
    const bool heldElsewhere = lock->error() == QLockFile::LockFailedError;
    // A folder we can't write to: the store's own open says what is wrong.
    lock.reset();
    return !heldElsewhere;
}

} // namespace vorn
