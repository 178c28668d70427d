#pragma once

#include "family/SharedThing.h"
#include "store/RecordId.h"
#include "store/Records.h"

#include <QHashFunctions>
#include <QString>

#include <array>
#include <memory>
#include <optional>
#include <variant>

namespace vorn {

// The three built-in lists, in display order.
enum class TodoList { today, later, doneIsh };

inline constexpr std::array<TodoList, 3> kAllTodoLists{TodoList::today, TodoList::later, TodoList::doneIsh};

QString rawValue(TodoList list);
std::optional<TodoList> todoListFromRaw(const QString& raw);

// How far a snooze goes; the raw values are the number keys 1 to 4.
enum class SnoozeOption { tonightIsh = 1, tomorrow = 2, monday = 3, someday = 4 };

std::optional<SnoozeOption> snoozeOptionFromRaw(int raw);

// What a list screen shows: a built-in list or a pile (by its record identifier).
class Source {
public:
    static Source list(TodoList l) { return Source(l); }
    static Source pile(RecordId id) { return Source(id); }
    static const Source today;
    static const Source later;
    static const Source doneIsh;

    bool isList() const { return std::holds_alternative<TodoList>(m_value); }
    bool isPile() const { return std::holds_alternative<RecordId>(m_value); }
    std::optional<TodoList> todoList() const;
    std::optional<RecordId> pileID() const;

    friend bool operator==(const Source&, const Source&) = default;

private:
    explicit Source(TodoList l) : m_value(l) {}
    explicit Source(RecordId id) : m_value(id) {}
    std::variant<TodoList, RecordId> m_value;
};

size_t qHash(const Source& s, size_t seed = 0) noexcept;

// The tab selected in the main window: a list, a pile, or the "Can't decide?" screen.
class Tab {
public:
    static Tab list(TodoList l) { return Tab(Kind::list, l, {}); }
    static Tab pile(RecordId id) { return Tab(Kind::pile, TodoList::today, id); }
    static Tab random() { return Tab(Kind::random, TodoList::today, {}); }

    bool isList() const { return m_kind == Kind::list; }
    bool isPile() const { return m_kind == Kind::pile; }
    bool isRandom() const { return m_kind == Kind::random; }
    std::optional<TodoList> todoList() const;
    std::optional<RecordId> pileID() const;
    // The source the tab shows; none for the random screen.
    std::optional<Source> source() const;

    friend bool operator==(const Tab&, const Tab&) = default;

private:
    enum class Kind { list, pile, random };
    Tab(Kind k, TodoList l, RecordId id) : m_kind(k), m_list(l), m_pile(id) {}
    Kind m_kind;
    TodoList m_list;
    RecordId m_pile;
};

// Identity of one row: an own thing, or a row another application owns (by its shared text id).
class RowID {
public:
    static RowID thing(RecordId id) { return RowID(id); }
    static RowID shared(const QString& id) { return RowID(id); }

    bool isThing() const { return std::holds_alternative<RecordId>(m_value); }
    bool isShared() const { return std::holds_alternative<QString>(m_value); }
    std::optional<RecordId> thingID() const;
    std::optional<QString> sharedID() const;

    friend bool operator==(const RowID&, const RowID&) = default;

private:
    explicit RowID(RecordId id) : m_value(id) {}
    explicit RowID(const QString& id) : m_value(id) {}
    std::variant<RecordId, QString> m_value;
};

size_t qHash(const RowID& r, size_t seed = 0) noexcept;

// Whose note the note sheet edits.
class NoteTarget {
public:
    static NoteTarget thing(RecordId id) { return NoteTarget(id); }
    static NoteTarget shared(const QString& id) { return NoteTarget(id); }

    std::optional<RecordId> thingID() const;
    std::optional<QString> sharedID() const;

    friend bool operator==(const NoteTarget&, const NoteTarget&) = default;

private:
    explicit NoteTarget(RecordId id) : m_value(id) {}
    explicit NoteTarget(const QString& id) : m_value(id) {}
    std::variant<RecordId, QString> m_value;
};

size_t qHash(const NoteTarget& n, size_t seed = 0) noexcept;

// A request to a thing's steps view to open step entry; each request counts one more than the last.
struct StepRequest {
    RecordId id;
    int count = 0;
    friend bool operator==(const StepRequest&, const StepRequest&) = default;
};

// One row as displayed: an own thing, or a row another application owns.
class ListRow {
public:
    static ListRow thing(Thing* t) { return ListRow(t); }
    static ListRow shared(SharedThing s)
    {
        return ListRow(std::make_shared<const SharedThing>(std::move(s)));
    }

    RowID id() const;
    Thing* thing() const;                   // null for a shared row
    const SharedThing* sharedThing() const; // null for an own row

private:
    explicit ListRow(Thing* t) : m_value(t) {}
    explicit ListRow(std::shared_ptr<const SharedThing> s) : m_value(std::move(s)) {}
    // Rows are made on every redraw; a family row shares its record instead of copying it.
    std::variant<Thing*, std::shared_ptr<const SharedThing>> m_value;
};

} // namespace vorn
