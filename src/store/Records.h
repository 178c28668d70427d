#pragma once

#include "store/RecordId.h"

#include <QDateTime>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace vorn {

class Store;
class Thing;
class Pile;
class Step;

// Base of the three persisted record types. A record is built detached, then inserted into a Store,
// which assigns its identifier, records every field change for undo and tracks what needs saving.
class Record : public std::enable_shared_from_this<Record> {
public:
    Record(const Record&) = delete;
    Record& operator=(const Record&) = delete;
    virtual ~Record() = default;

    RecordId id() const { return m_id; }
    EntityKind kind() const { return m_kind; }
    // True while the record is part of a store (inserted and not deleted).
    bool isLive() const { return m_live; }

protected:
    explicit Record(EntityKind kind) : m_kind(kind) {}

    // Assigns a field, recording the old value for undo and marking the field for saving.
    template <class Self, class T> void assign(T Self::*member, const T& value, quint32 field)
    {
        Self& self = static_cast<Self&>(*this);
        if (self.*member == value)
            return;
        T old = std::move(self.*member);
        self.*member = value;
        didChange(field, [member, old = std::move(old), field](Record& r) {
            static_cast<Self&>(r).assign(member, old, field);
        });
    }

    void didChange(quint32 field, std::function<void(Record&)> undo);

private:
    friend class Store;
    friend class Database;

    EntityKind m_kind;
    RecordId m_id;
    Store* m_store = nullptr;
    bool m_live = false;
    bool m_persisted = false; // a row for it exists in the database file
    quint32 m_dirty = 0;      // fields changed since the last save
};

enum ThingField : quint32 {
    ThingTitle = 1u << 0,
    ThingCreatedAt = 1u << 1,
    ThingDoneAt = 1u << 2,
    ThingSnoozedUntil = 1u << 3,
    ThingZCount = 1u << 4,
    ThingSortKey = 1u << 5,
    ThingPile = 1u << 6,
    ThingCameFrom = 1u << 7,
    ThingNote = 1u << 8,
    ThingNoteID = 1u << 9,
    ThingSyncID = 1u << 10,
    ThingCalendarText = 1u << 11,
    ThingChangedAt = 1u << 12,
};

class Thing final : public Record {
public:
    // Builds a detached thing; its sortKey follows createdAt, not the current time. Without a syncID it
    // gets a fresh one.
    static std::shared_ptr<Thing> make(const QString& title, const QDateTime& createdAt,
                                       std::optional<QDateTime> snoozedUntil = std::nullopt,
                                       Pile* pile = nullptr, const QString& syncID = {});

    const QString& title() const { return m_title; }
    const QDateTime& createdAt() const { return m_createdAt; }
    const std::optional<QDateTime>& doneAt() const { return m_doneAt; }
    const std::optional<QDateTime>& snoozedUntil() const { return m_snoozedUntil; }
    int zCount() const { return m_zCount; }
    double sortKey() const { return m_sortKey; }
    Pile* pile() const { return m_pile.get(); }
    const std::optional<QString>& cameFrom() const { return m_cameFrom; }
    const QString& note() const { return m_note; }
    const std::optional<QString>& noteID() const { return m_noteID; }
    const QString& syncID() const { return m_syncID; }
    // The iCalendar text the thing last came in as, which an export writes our fields over so that
    // what other programs put there stays; empty for a thing that never came from a calendar.
    const QString& calendarText() const { return m_calendarText; }
    // When the thing or one of its steps last changed here (the store keeps it, stamped at each change,
    // not counting its place in a list); invalid for one kept before stores knew it.
    const QDateTime& changedAt() const { return m_changedAt; }
    // The live steps in stored order.
    const std::vector<Step*>& steps() const { return m_steps; }

    void setTitle(const QString& v) { assign(&Thing::m_title, v, ThingTitle); }
    void setDoneAt(const std::optional<QDateTime>& v) { assign(&Thing::m_doneAt, v, ThingDoneAt); }
    void setSnoozedUntil(const std::optional<QDateTime>& v)
    {
        assign(&Thing::m_snoozedUntil, v, ThingSnoozedUntil);
    }
    void setZCount(int v) { assign(&Thing::m_zCount, v, ThingZCount); }
    void setSortKey(double v);
    void setPile(Pile* pile);
    void setCameFrom(const std::optional<QString>& v) { assign(&Thing::m_cameFrom, v, ThingCameFrom); }
    void setNote(const QString& v) { assign(&Thing::m_note, v, ThingNote); }
    void setNoteID(const std::optional<QString>& v) { assign(&Thing::m_noteID, v, ThingNoteID); }
    void setCalendarText(const QString& v) { assign(&Thing::m_calendarText, v, ThingCalendarText); }
    // For a thing that comes with an id of its own (an imported to-do's UID).
    void setSyncID(const QString& v) { assign(&Thing::m_syncID, v, ThingSyncID); }

    bool isDone() const { return m_doneAt.has_value(); }
    // Steps ascending by sortKey; equal keys keep their stored order.
    std::vector<Step*> orderedSteps() const;
    // "done/total", or nothing without steps.
    std::optional<QString> stepProgress() const;

    Thing() : Record(EntityKind::Thing) {}

private:
    friend class Store;
    friend class Database;
    friend class Record;

    QString m_title;
    QDateTime m_createdAt;
    std::optional<QDateTime> m_doneAt;
    std::optional<QDateTime> m_snoozedUntil;
    int m_zCount = 0;
    double m_sortKey = 0;
    std::shared_ptr<Pile> m_pile;
    std::optional<QString> m_cameFrom;
    QString m_note;
    std::optional<QString> m_noteID;
    QString m_syncID;
    QString m_calendarText;
    QDateTime m_changedAt;
    std::vector<Step*> m_steps;
};

enum PileField : quint32 {
    PileName = 1u << 0,
    PileCreatedAt = 1u << 1,
    PileSortKey = 1u << 2,
};

class Pile final : public Record {
public:
    static std::shared_ptr<Pile> make(const QString& name, const QDateTime& createdAt);

    const QString& name() const { return m_name; }
    const QDateTime& createdAt() const { return m_createdAt; }
    double sortKey() const { return m_sortKey; }
    // The live things of the pile, in the order they joined it.
    const std::vector<Thing*>& things() const { return m_things; }

    void setName(const QString& v) { assign(&Pile::m_name, v, PileName); }
    void setSortKey(double v);

    Pile() : Record(EntityKind::Pile) {}

private:
    friend class Store;
    friend class Database;
    friend class Thing;
    friend class Record;

    QString m_name;
    QDateTime m_createdAt;
    double m_sortKey = 0;
    std::vector<Thing*> m_things;
};

enum StepField : quint32 {
    StepTitle = 1u << 0,
    StepDoneAt = 1u << 1,
    StepSortKey = 1u << 2,
    StepThing = 1u << 3,
    StepSyncID = 1u << 4,
};

class Step final : public Record {
public:
    // Without a syncID the step gets a fresh one.
    static std::shared_ptr<Step> make(const QString& title, Thing* thing, const QDateTime& createdAt,
                                      const QString& syncID = {});

    const QString& title() const { return m_title; }
    const std::optional<QDateTime>& doneAt() const { return m_doneAt; }
    double sortKey() const { return m_sortKey; }
    Thing* thing() const { return m_thing.get(); }
    // The step's own lasting id, as the thing's syncID: other programs know it by this (a calendar's
    // subtask UID). Made with the step; kept through saves, undo and moves.
    const QString& syncID() const { return m_syncID; }

    void setTitle(const QString& v) { assign(&Step::m_title, v, StepTitle); }
    void setDoneAt(const std::optional<QDateTime>& v) { assign(&Step::m_doneAt, v, StepDoneAt); }
    void setSortKey(double v) { assign(&Step::m_sortKey, v, StepSortKey); }
    void setSyncID(const QString& v) { assign(&Step::m_syncID, v, StepSyncID); }

    bool isDone() const { return m_doneAt.has_value(); }

    Step() : Record(EntityKind::Step) {}

private:
    friend class Store;
    friend class Database;
    friend class Record;

    QString m_title;
    std::optional<QDateTime> m_doneAt;
    double m_sortKey = 0;
    std::shared_ptr<Thing> m_thing;
    QString m_syncID;
};

} // namespace vorn
