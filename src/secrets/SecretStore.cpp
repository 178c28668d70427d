#include "secrets/SecretStore.h"

#include <qt6keychain/keychain.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>

namespace vorn::secrets {

namespace {

constexpr char kService[] = "vorn-todo";

// Names a keyring answers to on the session bus: the Secret Service, and KWallet, which QtKeychain
// talks to directly on KDE.
bool keyringOnBus()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface())
        return false;
    const QStringList names = {QStringLiteral("org.freedesktop.secrets"), QStringLiteral("org.kde.kwalletd5"),
                               QStringLiteral("org.kde.kwalletd6")};
    const QStringList activatable = bus.interface()->activatableServiceNames();
    for (const QString& name : names) {
        if (bus.interface()->isServiceRegistered(name) || activatable.contains(name))
            return true;
    }
    return false;
}

SecretResult outcome(const QKeychain::Job& job)
{
    SecretResult r;
    switch (job.error()) {
    case QKeychain::NoError:
        return r;
    case QKeychain::EntryNotFound:
        r.problem = SecretProblem::NotFound;
        r.message = QStringLiteral("The keyring has no password for this account; connect again to give it.");
        return r;
    case QKeychain::NoBackendAvailable:
        break;
    default:
        // QtKeychain says "other error" both for a missing bus and for a keyring that said no: the bus
        // tells them apart.
        if (keyringOnBus()) {
            r.problem = SecretProblem::Refused;
            r.message = QStringLiteral("The keyring didn't do it: %1.").arg(job.errorString());
            return r;
        }
        break;
    }
    r.problem = SecretProblem::NoKeyring;
    r.message =
        QStringLiteral("There's no keyring to keep the password in: start GNOME Keyring, KeePassXC or "
                       "another Secret Service and try again. (It's never kept in a file.)");
    return r;
}

// Runs the job and hands its outcome to `done` unless `owner` is gone by then. Jobs have no parent:
// one deleted while the keyring still works on it would be called back after it is gone.
void run(QObject* owner, QKeychain::Job* job, const QString& key, SecretStore::Callback done,
         std::function<void(SecretResult&, QKeychain::Job&)> read = {})
{
    job->setAutoDelete(true);
    job->setInsecureFallback(false);
    job->setKey(key);
    // The receiver drops the answer of a store that is gone; the job itself runs to its end.
    QObject::connect(job, &QKeychain::Job::finished, owner,
                     [done = std::move(done), read = std::move(read)](QKeychain::Job* finished) {
                         SecretResult r = outcome(*finished);
                         if (r.ok() && read)
                             read(r, *finished);
                         done(std::move(r));
                     });
    job->start();
}

} // namespace

SecretStore::SecretStore(QObject* parent) : SecretStore(QString::fromLatin1(kService), parent) {}

SecretStore::SecretStore(const QString& service, QObject* parent) : QObject(parent), m_service(service) {}

void SecretStore::readPassword(const QString& key, Callback done)
{
    run(this, new QKeychain::ReadPasswordJob(m_service), key, std::move(done),
        [](SecretResult& r, QKeychain::Job& job) {
            r.password = static_cast<QKeychain::ReadPasswordJob&>(job).textData();
        });
}

void SecretStore::writePassword(const QString& key, const QString& password, Callback done)
{
    auto* job = new QKeychain::WritePasswordJob(m_service);
    job->setTextData(password);
    run(this, job, key, std::move(done));
}

void SecretStore::removePassword(const QString& key, Callback done)
{
    run(this, new QKeychain::DeletePasswordJob(m_service), key, [done = std::move(done)](SecretResult r) {
        if (r.problem == SecretProblem::NotFound)
            r = {};
        done(std::move(r));
    });
}

} // namespace vorn::secrets
