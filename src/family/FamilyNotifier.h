#pragma once

#include <QObject>

#include <functional>

namespace vorn {

// Posts and receives the family's change broadcast: a D-Bus signal on the session bus that every
// process of the family (this one included) receives. Without a session bus it logs once and does nothing.
class FamilyNotifier : public QObject {
    Q_OBJECT

public:
    explicit FamilyNotifier(QObject* parent = nullptr);
    ~FamilyNotifier() override;

    bool isConnected() const { return m_connected; }
    // Broadcasts that the family store changed.
    void post();
    // Runs on the main thread for every broadcast received, own ones included; none at first.
    void setOnChanged(std::function<void()> callback) { m_onChanged = std::move(callback); }

Q_SIGNALS:
    void changed();

private Q_SLOTS:
    void received();

private:
    bool m_connected = false;
    std::function<void()> m_onChanged;
};

} // namespace vorn
