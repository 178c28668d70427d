#include "app/StoreLock.h"

#include "model/Launch.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QThread>

namespace vorn {

namespace {

constexpr unsigned long kNamelessLockGraceMs = 200;
constexpr int kStartingAppWait = 10000; // ms an app that holds the store may take to reach the bus

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

std::optional<int> throughAppOrLockedStore(const Launch& launch, QDBusConnection bus,
                                           const std::function<int()>& throughApp,
                                           std::unique_ptr<QLockFile>& lock)
{
    if (const int rc = throughApp(); rc >= 0)
        return rc;
    if (lockStore(launch, lock))
        return std::nullopt;
    // The app holds the store but is not on the bus yet (still starting): wait for it there.
    const QDeadlineTimer deadline(kStartingAppWait);
    while (bus.isConnected() && !deadline.hasExpired()) {
        if (const int rc = throughApp(); rc >= 0)
            return rc;
        QThread::msleep(100);
    }
    return 1;
}

} // namespace vorn
