#pragma once

#include <QDBusConnection>
#include <QDBusVariant> // complete, for the slot the bus calls
#include <QObject>

#include <chrono>
#include <memory>
#include <optional>

class QDBusPendingCall;
class QDBusPendingCallWatcher;

namespace vorn {

// The desktop's light/dark preference, with the values the settings portal uses for it.
enum class ColorScheme : uint { noPreference = 0, preferDark = 1, preferLight = 2 };

// `VORN_APPEARANCE=light` or `dark` in the environment: the scheme to use instead of the desktop's.
std::optional<ColorScheme> colorSchemeFromEnvironment();

// The desktop's colour scheme, read from the settings portal (org.freedesktop.appearance color-scheme)
// on `bus` and followed live. Without a bus or a portal it stays noPreference, so the Qt palette
// decides; it never holds anything up for long.
class DesktopColorScheme : public QObject {
    Q_OBJECT

public:
    explicit DesktopColorScheme(QDBusConnection bus, QObject* parent = nullptr);
    ~DesktopColorScheme() override;

    // Subscribes to the portal's changes and asks it once; the answer comes later, through changed().
    // With the environment override set, that is the scheme and the portal is left alone.
    void start();
    // Holds the caller for the first answer, `limit` at most, so that a dark desktop sees no light
    // window flash by. An answer after that still applies when it comes.
    void awaitFirstAnswer(std::chrono::milliseconds limit);

    ColorScheme scheme() const { return m_scheme; }
    // As if the desktop had said so.
    void setScheme(ColorScheme scheme);

Q_SIGNALS:
    void changed(vorn::ColorScheme scheme);

private Q_SLOTS:
    void onSettingChanged(const QString& group, const QString& key, const QDBusVariant& value);

private:
    void ask(const QString& method);
    void onAnswer(const QDBusPendingCall& answer);
    void logOnce(const QString& message);

    QDBusConnection m_bus;
    ColorScheme m_scheme = ColorScheme::noPreference;
    QString m_asked;
    std::unique_ptr<QDBusPendingCallWatcher> m_pending;
    bool m_logged = false;
};

} // namespace vorn
