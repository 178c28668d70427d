#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

struct sqlite3;

namespace vorn {

// What the last sync agreed on for one resource on the server (a thing, or one of its steps): where the
// server keeps it, its ETag then, its text as both sides held it, and for a thing a fingerprint of our
// record at that moment, so a later sync tells an edit here from a thing at rest without rebuilding
// every copy.
struct LedgerItem {
    QString uid;
    QString parent;     // the thing's UID for a step; empty for a thing
    QString collection; // the collection's href
    QString href;       // the path on the server
    QString etag;
    QByteArray base;        // the agreed text
    QByteArray fingerprint; // of our record when it was agreed (things only)
    QDateTime changedAt;    // when it last changed here, as far as we heard
    // What a PUT carried that no sync has yet seen the server hold (written before the PUT goes); empty:
    // none. A row with this and no ETag is a resource that may not be there at all.
    QByteArray sent;
    // The collection `base` was agreed in, when not this one: the thing moved here, and no sync has seen
    // it here yet. Empty: this one.
    QString baseCollection;
    // The copy this resource left in another collection when its thing moved here, still to be deleted
    // there (with this ETag) once the copy here is written and seen. Empty: none.
    QString leavingHref;
    QString leavingEtag;
    // Written before the model takes in a thing new here, and left so until a sync sees the store hold
    // it: a kill in between leaves rows for a thing that may not be here. Such a thing is not one deleted
    // here, and one that is here is not one made here.
    bool taking = false;
    // A thing's row only: what was agreed on in the collection it came from (`movedFromCollection`),
    // each resource's text after a NUL, when our move brought it here and no copy of another side's has
    // been agreed on since. The other home, moving it on from there itself, weighs its copy against that,
    // never against ours here it didn't see. Empty: none.
    QByteArray movedFrom;
    QString movedFromCollection;
    bool operator==(const LedgerItem&) const = default;
};

// One collection on the server and the list of ours it holds.
struct LedgerCollection {
    QString href;
    qint64 pile = 0;     // our list's record number; 0: Today, Later and Done-ish
    QString displayName; // as the server last named it
    QString token;       // the sync token after the last complete sync; empty: none yet
    QString ctag;
    bool operator==(const LedgerCollection&) const = default;
};

// The sync's own bookkeeping, in a small SQLite file of its own beside the local store. Everything is
// read at open; changes collect in memory and `commit` writes them in one transaction, so the file holds
// either the state before a step or after it, never half. The ledger belongs to one account: opened for
// another one, it starts empty.
class SyncLedger {
public:
    // ":memory:" keeps it in memory only. Null with `error` set when the file can't be opened or read.
    static std::unique_ptr<SyncLedger> open(const QString& path, const QString& account, QString* error);
    ~SyncLedger();
    SyncLedger(const SyncLedger&) = delete;
    SyncLedger& operator=(const SyncLedger&) = delete;

    const QString& account() const { return m_account; }
    // The account's calendar home, once found.
    const QString& home() const { return m_home; }
    void setHome(const QString& home);

    const LedgerItem* item(const QString& uid) const;
    const QHash<QString, LedgerItem>& items() const { return m_items; }
    void setItem(const LedgerItem& item);
    void removeItem(const QString& uid);
    // The UIDs of the steps the ledger holds for a thing, without a walk over every row.
    QStringList stepsOf(const QString& parent) const { return m_steps.value(parent); }

    const std::vector<LedgerCollection>& collections() const { return m_collections; }
    const LedgerCollection* collection(const QString& href) const;
    const LedgerCollection* collectionOfPile(qint64 pile) const;
    void setCollection(const LedgerCollection& collection);
    void removeCollection(const QString& href);

    bool hasChanges() const { return !m_dirtyItems.isEmpty() || m_collectionsDirty || m_homeDirty; }
    // Writes what changed since the last commit; false with `error` set when it couldn't, the changes
    // still pending for the next commit.
    bool commit(QString* error = nullptr);

private:
    SyncLedger() = default;
    bool exec(const char* sql, QString* error);
    bool addColumns(QString* error);
    bool load(QString* error);
    void unlinkStep(const LedgerItem& item);

    sqlite3* m_db = nullptr;
    QString m_account;
    QString m_home;
    bool m_homeDirty = false;
    QHash<QString, LedgerItem> m_items;
    QHash<QString, QStringList> m_steps; // parent UID -> its steps' UIDs
    // uid → still there (false: removed) since the last commit
    QHash<QString, bool> m_dirtyItems;
    std::vector<LedgerCollection> m_collections;
    bool m_collectionsDirty = false;
};

} // namespace vorn
