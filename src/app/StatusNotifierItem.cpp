#include "app/StatusNotifierItem.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QtEndian>

namespace vorn {

QDBusArgument& operator<<(QDBusArgument& argument, const SniPixmap& pixmap)
{
    argument.beginStructure();
    argument << pixmap.width << pixmap.height << pixmap.argb;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, SniPixmap& pixmap)
{
    argument.beginStructure();
    argument >> pixmap.width >> pixmap.height >> pixmap.argb;
    argument.endStructure();
    return argument;
}

QDBusArgument& operator<<(QDBusArgument& argument, const SniToolTip& tip)
{
    argument.beginStructure();
    argument << tip.iconName << tip.pixmaps << tip.title << tip.text;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, SniToolTip& tip)
{
    argument.beginStructure();
    argument >> tip.iconName >> tip.pixmaps >> tip.title >> tip.text;
    argument.endStructure();
    return argument;
}

SniPixmap sniPixmap(const QImage& image)
{
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    SniPixmap pixmap{argb.width(), argb.height(), {}};
    pixmap.argb.resize(qsizetype(argb.width()) * argb.height() * 4);
    auto* out = reinterpret_cast<quint32*>(pixmap.argb.data());
    for (int y = 0; y < argb.height(); ++y) {
        const auto* line = reinterpret_cast<const quint32*>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x)
            *out++ = qToBigEndian(line[x]);
    }
    return pixmap;
}

namespace {

void registerTypes()
{
    static const bool once = [] {
        qDBusRegisterMetaType<SniPixmap>();
        qDBusRegisterMetaType<SniPixmaps>();
        qDBusRegisterMetaType<SniToolTip>();
        return true;
    }();
    Q_UNUSED(once);
}

} // namespace

StatusNotifierItem::StatusNotifierItem(const QString& title, QDBusConnection bus, QObject* parent)
    : QObject(parent), m_title(title), m_bus(std::move(bus))
{
    registerTypes();
}

StatusNotifierItem::~StatusNotifierItem()
{
    if (!m_exported)
        return;
    // The watcher drops the item when its name goes.
    m_bus.unregisterObject(QString::fromLatin1(kStatusNotifierItemPath));
    m_bus.unregisterService(m_service);
}

bool StatusNotifierItem::watcherPresent(const QDBusConnection& bus)
{
    return bus.isConnected() && bus.interface() &&
           bus.interface()->isServiceRegistered(QString::fromLatin1(kStatusNotifierWatcher)).value();
}

bool StatusNotifierItem::registerWithWatcher()
{
    if (!m_bus.isConnected())
        return false;
    if (!m_exported) {
        // The name hosts expect: the protocol's prefix, our process and an item number.
        m_service = QStringLiteral("org.kde.StatusNotifierItem-%1-1").arg(QCoreApplication::applicationPid());
        if (!m_bus.registerObject(QString::fromLatin1(kStatusNotifierItemPath), this,
                                  QDBusConnection::ExportScriptableSlots |
                                      QDBusConnection::ExportScriptableSignals |
                                      QDBusConnection::ExportAllProperties))
            return false;
        if (!m_bus.registerService(m_service)) {
            m_bus.unregisterObject(QString::fromLatin1(kStatusNotifierItemPath));
            return false;
        }
        m_exported = true;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QString::fromLatin1(kStatusNotifierWatcher), QString::fromLatin1(kStatusNotifierWatcherPath),
        QString::fromLatin1(kStatusNotifierWatcher), QStringLiteral("RegisterStatusNotifierItem"));
    call << m_service;
    // Asynchronous: a watcher that is slow to answer must not hold up the window.
    auto* pending = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* done) {
        done->deleteLater();
        const QDBusPendingReply<> reply = *done;
        if (reply.isError())
            Q_EMIT failed(reply.error().message());
        else
            Q_EMIT registered();
    });
    return true;
}

void StatusNotifierItem::setIcon(const std::vector<QImage>& sizes)
{
    m_pixmaps.clear();
    for (const QImage& image : sizes)
        m_pixmaps.append(sniPixmap(image));
    Q_EMIT NewIcon();
}

void StatusNotifierItem::Activate(int x, int y)
{
    Q_EMIT activated(QPoint(x, y));
}

void StatusNotifierItem::SecondaryActivate(int x, int y)
{
    Q_EMIT activated(QPoint(x, y));
}

void StatusNotifierItem::ContextMenu(int x, int y)
{
    // No menu of its own: the popup has the two ways out.
    Q_EMIT activated(QPoint(x, y));
}

void StatusNotifierItem::Scroll(int, const QString&) {}

} // namespace vorn
