#pragma once

#include <QByteArray>
#include <QLatin1StringView>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>
#include <vector>

namespace vorn {

// The standard types every program reads; plain text travels as UTF-8.
inline constexpr QLatin1StringView kPlainTextType{"text/plain"};
inline constexpr QLatin1StringView kRtfType{"text/rtf"};

// Typed items in the order they were put; putting a type again replaces its data in place.
using PasteboardItems = std::vector<std::pair<QString, QByteArray>>;

inline void putItem(PasteboardItems& items, const QString& type, const QByteArray& data)
{
    for (auto& item : items) {
        if (item.first == type) {
            item.second = data;
            return;
        }
    }
    items.emplace_back(type, data);
}

inline std::optional<QByteArray> findItem(const PasteboardItems& items, const QString& type)
{
    for (const auto& item : items) {
        if (item.first == type)
            return item.second;
    }
    return std::nullopt;
}

// A pasteboard: data under MIME types, replaced as a whole by clear() and what follows it.
class Pasteboard {
public:
    virtual ~Pasteboard() = default;
    // Empties the pasteboard; the next setData() calls fill it anew.
    virtual void clear() = 0;
    // Adds (or replaces) one type; false when it could not be stored.
    virtual bool setData(const QString& type, const QByteArray& data) = 0;
    virtual std::optional<QByteArray> data(const QString& type) const = 0;
    virtual bool hasType(const QString& type) const { return data(type).has_value(); }
    // Reads one type and empties the pasteboard, when it holds that type.
    virtual std::optional<QByteArray> take(const QString& type)
    {
        std::optional<QByteArray> out = data(type);
        if (out)
            clear();
        return out;
    }
};

// A pasteboard in memory, for tests and wherever no platform one is wanted.
class MemoryPasteboard final : public Pasteboard {
public:
    void clear() override { m_items.clear(); }
    bool setData(const QString& type, const QByteArray& data) override
    {
        putItem(m_items, type, data);
        return true;
    }
    std::optional<QByteArray> data(const QString& type) const override { return findItem(m_items, type); }
    // The types in the order they were put.
    QStringList types() const
    {
        QStringList out;
        for (const auto& item : m_items)
            out << item.first;
        return out;
    }

private:
    PasteboardItems m_items;
};

} // namespace vorn
