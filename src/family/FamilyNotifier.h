#pragma once

#include <QObject>

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

Q_SIGNALS:
    // On the main thread, for every broadcast received, own ones included.
    void changed();

private Q_SLOTS:
    void received();

private:
    bool m_connected = false;
};

} // namespace vorn
