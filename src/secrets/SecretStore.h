#pragma once

#include <QObject>
#include <QString>

#include <functional>

namespace vorn::secrets {

enum class SecretProblem {
    None,
    NotFound,  // the keyring has no password under that key
    NoKeyring, // no Secret Service to ask (no session bus, nothing serving it)
    Refused,   // the keyring is there but didn't do it: locked, access denied, an error of its own
};

struct SecretResult {
    SecretProblem problem = SecretProblem::None;
    QString password; // what a read found
    QString message;  // one sentence for the user when it didn't work

    bool ok() const { return problem == SecretProblem::None; }
};

// Passwords in the desktop's keyring (the Secret Service, through QtKeychain), one per key under the
// service "vorn-todo". Never anywhere else: with no keyring a call fails, it doesn't fall back to a
// file. Every call returns at once; its callback runs later on this thread, never after the store is
// gone.
class SecretStore : public QObject {
    Q_OBJECT
public:
    using Callback = std::function<void(SecretResult)>;

    explicit SecretStore(QObject* parent = nullptr);
    // Another service name, for tests that must not meet the app's own entries.
    SecretStore(const QString& service, QObject* parent);

    void readPassword(const QString& key, Callback done);
    // Replaces any password already under the key.
    void writePassword(const QString& key, const QString& password, Callback done);
    // Removing one that isn't there works.
    void removePassword(const QString& key, Callback done);

private:
    QString m_service;
};

} // namespace vorn::secrets
