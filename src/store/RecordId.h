#pragma once

#include <QHashFunctions>
#include <QtGlobal>

#include <compare>
#include <functional>

namespace vorn {

enum class EntityKind : quint8 { Thing, Pile, Step };

// Opaque identifier the store assigns at insertion; stable for the life of the record,
// including across an undone delete and across reopening the store.
struct RecordId {
    EntityKind kind = EntityKind::Thing;
    qint64 number = 0;

    bool isValid() const { return number != 0; }
    friend bool operator==(const RecordId&, const RecordId&) = default;
    friend auto operator<=>(const RecordId&, const RecordId&) = default;
};

inline size_t qHash(const RecordId& id, size_t seed = 0) noexcept
{
    return qHashMulti(seed, quint8(id.kind), id.number);
}

} // namespace vorn

template <> struct std::hash<vorn::RecordId> {
    size_t operator()(const vorn::RecordId& id) const noexcept { return vorn::qHash(id, 0); }
};
