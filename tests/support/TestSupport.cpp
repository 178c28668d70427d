#include "support/TestSupport.h"

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

} // namespace vorn::test
