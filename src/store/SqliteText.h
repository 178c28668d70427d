#pragma once

// Text in and out of SQLite statements, shared by the local store and the family store.

#include <QByteArray>
#include <QString>

#include <optional>

#include <sqlite3.h>

namespace vorn::sqlite {

inline void bindText(sqlite3_stmt* s, int i, const QString& v)
{
    const QByteArray utf8 = v.toUtf8();
    // An empty text must stay '' (NOT NULL columns), never a NULL pointer.
    const char* data = utf8.constData() ? utf8.constData() : "";
    sqlite3_bind_text(s, i, data, int(utf8.size()), SQLITE_TRANSIENT);
}

inline void bindText(sqlite3_stmt* s, int i, const std::optional<QString>& v)
{
    if (v)
        bindText(s, i, *v);
    else
        sqlite3_bind_null(s, i);
}

inline QString text(sqlite3_stmt* s, int col)
{
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(s, col));
    return p ? QString::fromUtf8(p, sqlite3_column_bytes(s, col)) : QString();
}

inline std::optional<QString> optionalText(sqlite3_stmt* s, int col)
{
    if (sqlite3_column_type(s, col) == SQLITE_NULL)
        return std::nullopt;
    return text(s, col);
}

} // namespace vorn::sqlite
