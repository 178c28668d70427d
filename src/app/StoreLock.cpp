#include "app/StoreLock.h"

#include "model/Startup.h"

#include <QDir>
#include <QFileInfo>
#include <QThread>

namespace vorn {

namespace {

constexpr unsigned long kNamelessLockGraceMs = 200;

} // namespace

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
    // A lock that names no owner was left by a process killed between making the file and writing its
    // name; with no owner to ask, it would keep every later start out. A live owner writes its name at
    // once, so one still nameless a moment later is taken over.
    qint64 pid = 0;
    QString host, app;
    if (lock->error() == QLockFile::LockFailedError && !lock->getLockInfo(&pid, &host, &app)) {
        QThread::msleep(kNamelessLockGraceMs);
        if (!lock->getLockInfo(&pid, &host, &app) && lock->removeStaleLockFile() && lock->tryLock(0))
            return true;
    }
    const bool heldElsewhere = lock->error() == QLockFile::LockFailedError;
    // A folder we can't write to: the store's own open says what is wrong.
    lock.reset();
    return !heldElsewhere;
}

} // namespace vorn
