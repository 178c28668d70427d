#include "support/TestSupport.h"

#include <ctime>

#include <QEventLoop>

namespace vorn::test {

QDateTime at(const char* zone, const char* local)
{
    const QTimeZone tz(zone);
    QDateTime t = QDateTime::fromString(QString::fromLatin1(local), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    t.setTimeZone(tz);
    return t;
}

void drainEvents()
{
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents);
}

qint64 threadCpuMSecs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return qint64(t.tv_sec) * 1000 + t.tv_nsec / 1'000'000;
}

} // namespace vorn::test
