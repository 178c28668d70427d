#include "model/Entities.h"

namespace vorn {

const Source Source::today = Source::list(TodoList::today);
const Source Source::later = Source::list(TodoList::later);
const Source Source::doneIsh = Source::list(TodoList::doneIsh);

QString rawValue(TodoList list)
{
    switch (list) {
    case TodoList::today:
        return QStringLiteral("today");
    case TodoList::later:
        return QStringLiteral("later");
    case TodoList::doneIsh:
        return QStringLiteral("doneIsh");
    }
    return {};
}

std::optional<TodoList> todoListFromRaw(const QString& raw)
{
    for (TodoList l : kAllTodoLists) {
        if (rawValue(l) == raw)
            return l;
    }
    return std::nullopt;
}

std::optional<SnoozeOption> snoozeOptionFromRaw(int raw)
{
    if (raw >= 1 && raw <= 4)
        return SnoozeOption(raw);
    return std::nullopt;
}

std::optional<TodoList> Source::todoList() const
{
    if (auto* l = std::get_if<TodoList>(&m_value))
        return *l;
    return std::nullopt;
}

std::optional<RecordId> Source::pileID() const
{
    if (auto* id = std::get_if<RecordId>(&m_value))
        return *id;
    return std::nullopt;
}

size_t qHash(const Source& s, size_t seed) noexcept
{
    if (auto id = s.pileID())
        return qHashMulti(seed, 1, *id);
    return qHashMulti(seed, 0, int(*s.todoList()));
}

std::optional<TodoList> Tab::todoList() const
{
    return m_kind == Kind::list ? std::optional(m_list) : std::nullopt;
}

std::optional<RecordId> Tab::pileID() const
{
    return m_kind == Kind::pile ? std::optional(m_pile) : std::nullopt;
}

std::optional<Source> Tab::source() const
{
    switch (m_kind) {
    case Kind::list:
        return Source::list(m_list);
    case Kind::pile:
        return Source::pile(m_pile);
    case Kind::random:
        break;
    }
    return std::nullopt;
}

std::optional<RecordId> RowID::thingID() const
{
    if (auto* id = std::get_if<RecordId>(&m_value))
        return *id;
    return std::nullopt;
}

std::optional<QString> RowID::sharedID() const
{
    if (auto* id = std::get_if<QString>(&m_value))
        return *id;
    return std::nullopt;
}

size_t qHash(const RowID& r, size_t seed) noexcept
{
    if (auto id = r.thingID())
        return qHashMulti(seed, 0, *id);
    return qHashMulti(seed, 1, *r.sharedID());
}

std::optional<RecordId> NoteTarget::thingID() const
{
    if (auto* id = std::get_if<RecordId>(&m_value))
        return *id;
    return std::nullopt;
}

std::optional<QString> NoteTarget::sharedID() const
{
    if (auto* id = std::get_if<QString>(&m_value))
        return *id;
    return std::nullopt;
}

size_t qHash(const NoteTarget& n, size_t seed) noexcept
{
    if (auto id = n.thingID())
        return qHashMulti(seed, 0, *id);
    return qHashMulti(seed, 1, *n.sharedID());
}

RowID ListRow::id() const
{
    if (auto* t = std::get_if<Thing*>(&m_value))
        return RowID::thing((*t)->id());
    return RowID::shared(sharedThing()->id);
}

Thing* ListRow::thing() const
{
    auto* t = std::get_if<Thing*>(&m_value);
    return t ? *t : nullptr;
}

const SharedThing* ListRow::sharedThing() const
{
    auto* s = std::get_if<std::shared_ptr<const SharedThing>>(&m_value);
    return s ? s->get() : nullptr;
}

} // namespace vorn
