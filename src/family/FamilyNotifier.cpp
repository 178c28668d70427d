#include "family/FamilyNotifier.h"

#include "family/FamilyConstants.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QLoggingCategory>

#include <atomic>

namespace vorn {

Q_LOGGING_CATEGORY(lcNotify, "com.vorn.family.notify", QtInfoMsg)

namespace {

// "com.vorn.family.DidChange" splits into the D-Bus interface and the signal member.
QString changeInterface()
{
    const QString name = kFamilyChangeNotification;
    return name.left(name.lastIndexOf(QLatin1Char('.')));
}

QString changeMember()
{
    const QString name = kFamilyChangeNotification;
    return name.mid(name.lastIndexOf(QLatin1Char('.')) + 1);
}

} // namespace

FamilyNotifier::FamilyNotifier(QObject* parent) : QObject(parent)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        // One line per process is enough: without a bus the family simply isn't told about changes.
        static std::atomic_bool logged = false;
        if (!logged.exchange(true))
            qCWarning(lcNotify) << "no session bus, family changes are not broadcast:"
                                << bus.lastError().message();
        return;
    }
    // Any sender, so our own posts come back too; the model tells its echo apart by itself.
    m_connected =
        bus.connect(QString(), kFamilyDBusPath, changeInterface(), changeMember(), this, SLOT(received()));
    if (!m_connected) {
        qCWarning(lcNotify) << "couldn't subscribe to family changes:" << bus.lastError().message();
        return;
    }
    // A round trip to the bus makes sure the match rule is in place before anyone can post, so a change
    // made right after construction is never missed.
    bus.call(QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
                                            QStringLiteral("/org/freedesktop/DBus"),
                                            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetId")));
}

FamilyNotifier::~FamilyNotifier()
{
    if (m_connected)
        QDBusConnection::sessionBus().disconnect(QString(), kFamilyDBusPath, changeInterface(),
                                                 changeMember(), this, SLOT(received()));
}

void FamilyNotifier::post()
{
    if (!m_connected)
        return;
    const QDBusMessage signal =
        QDBusMessage::createSignal(kFamilyDBusPath, changeInterface(), changeMember());
    if (!QDBusConnection::sessionBus().send(signal))
        qCWarning(lcNotify) << "couldn't post a family change";
}

void FamilyNotifier::received()
{
    Q_EMIT changed();
}

} // namespace vorn
