#include "app/DesktopColorScheme.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QLoggingCategory>
#include <QThread>

namespace vorn {

namespace {

Q_LOGGING_CATEGORY(lcAppearance, "com.vorn.todo.appearance", QtInfoMsg)

using namespace Qt::StringLiterals;

const QString kService = u"org.freedesktop.portal.Desktop"_s;
const QString kPath = u"/org/freedesktop/portal/desktop"_s;
const QString kInterface = u"org.freedesktop.portal.Settings"_s;
const QString kGroup = u"org.freedesktop.appearance"_s;
const QString kKey = u"color-scheme"_s;

ColorScheme schemeOf(QVariant value)
{
    // Read wraps the value in one variant more than ReadOne and the change signal do.
    while (value.metaType() == QMetaType::fromType<QDBusVariant>())
        value = qvariant_cast<QDBusVariant>(value).variant();
    bool ok = false;
    const uint raw = value.toUInt(&ok);
    // The portal asks for values it may add later to be read as no preference.
    if (!ok || raw > uint(ColorScheme::preferLight))
        return ColorScheme::noPreference;
    return ColorScheme(raw);
}

} // namespace

std::optional<ColorScheme> colorSchemeFromEnvironment()
{
    const QByteArray value = qgetenv("VORN_APPEARANCE").trimmed().toLower();
    if (value == "dark")
        return ColorScheme::preferDark;
    if (value == "light")
        return ColorScheme::preferLight;
    return std::nullopt;
}

DesktopColorScheme::DesktopColorScheme(QDBusConnection bus, QObject* parent) : QObject(parent), m_bus(bus) {}

DesktopColorScheme::~DesktopColorScheme() = default;

void DesktopColorScheme::start()
{
    if (const std::optional<ColorScheme> forced = colorSchemeFromEnvironment()) {
        setScheme(*forced);
        return;
    }
    if (!m_bus.isConnected()) {
        // The family's broadcast already says so, and a failed start's first line belongs to its cause.
        qCDebug(lcAppearance) << "no session bus, the Qt palette decides light or dark";
        return;
    }
    // Subscribed before asking, so a switch between the answer and the subscription is not missed. The
    // bus finds the slot's parameter types by name, which a type gets only once registered.
    qRegisterMetaType<QDBusVariant>();
    // Written normalized, so Qt need not normalize it at the connect (clang-format would add spaces).
    // clang-format off
    const char* slot = SLOT(onSettingChanged(QString,QString,QDBusVariant));
    // clang-format on
    if (!m_bus.connect(kService, kPath, kInterface, u"SettingChanged"_s, this, slot))
        logOnce(u"can't follow changes of the desktop's colour scheme: "_s + m_bus.lastError().message());
    ask(u"ReadOne"_s);
}

void DesktopColorScheme::awaitFirstAnswer(std::chrono::milliseconds limit)
{
    const QDeadlineTimer deadline(limit);
    // The bus's own thread takes the reply in; this one only looks, so nothing else runs meanwhile.
    while (m_pending) {
        if (!m_pending->isFinished()) {
            if (deadline.hasExpired())
                return;
            QThread::msleep(1);
            continue;
        }
        const QDBusPendingCall answer = *m_pending;
        m_pending.reset(); // and with it its finished(), which would come later
        onAnswer(answer);  // may ask again
    }
}

void DesktopColorScheme::setScheme(ColorScheme scheme)
{
    if (scheme == m_scheme)
        return;
    m_scheme = scheme;
    Q_EMIT changed(scheme);
}

void DesktopColorScheme::onSettingChanged(const QString& group, const QString& key, const QDBusVariant& value)
{
    if (group == kGroup && key == kKey)
        setScheme(schemeOf(value.variant()));
}

void DesktopColorScheme::ask(const QString& method)
{
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
    call << kGroup << kKey;
    m_asked = method;
    m_pending = std::make_unique<QDBusPendingCallWatcher>(m_bus.asyncCall(call));
    connect(m_pending.get(), &QDBusPendingCallWatcher::finished, this, [this] {
        QDBusPendingCallWatcher* answered = m_pending.release();
        answered->deleteLater();
        onAnswer(*answered);
    });
}

void DesktopColorScheme::onAnswer(const QDBusPendingCall& answer)
{
    const QDBusMessage reply = answer.reply();
    if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()) {
        setScheme(schemeOf(reply.arguments().constFirst()));
        return;
    }
    // Portals before version 2 only know Read.
    if (m_asked == u"ReadOne"_s && reply.errorName() == u"org.freedesktop.DBus.Error.UnknownMethod"_s) {
        ask(u"Read"_s);
        return;
    }
    logOnce(u"the desktop's colour scheme is unknown, the Qt palette decides light or dark: "_s +
            reply.errorMessage());
}

void DesktopColorScheme::logOnce(const QString& message)
{
    // A desktop without the portal is common and nothing to fix; one line is enough.
    if (m_logged)
        return;
    m_logged = true;
    qCInfo(lcAppearance).noquote() << message;
}

} // namespace vorn
