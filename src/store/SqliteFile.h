#pragma once

#include <QFile>
#include <QFileInfo>
#include <QString>

#include <optional>

namespace vorn::sqlite {

// What makes the file at `path` unfit to open as a database, checked before SQLite touches it; nothing
// when it is missing (it will be made) or looks whole. SQLite would take a device such as /dev/zero for
// an empty database and "save" into it, and would read a file cut short as far as it goes.
inline std::optional<QString> fileProblem(const QString& path)
{
    const QFileInfo info(path); // follows a symlink to what it names
    if (!info.exists())
        return info.isSymLink() ? std::optional(QStringLiteral("%1 is a link to nothing").arg(path))
                                : std::nullopt;
    if (info.isDir())
        return QStringLiteral("%1 is a folder, not a database file").arg(path);
    if (!info.isFile())
        return QStringLiteral("%1 is not a regular file").arg(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("can't read %1: %2").arg(path, file.errorString());
    const QByteArray header = file.read(100);
    if (header.size() < 100 || !header.startsWith(QByteArrayView("SQLite format 3\0", 16)))
        return std::nullopt; // empty, or not SQLite: the open says which
    // A write-ahead log holds pages the file itself may not have yet.
    if (QFileInfo(path + QStringLiteral("-wal")).size() > 0)
        return std::nullopt;
    auto be32 = [&](int at) {
        return quint32(quint8(header[at])) << 24 | quint32(quint8(header[at + 1])) << 16 |
               quint32(quint8(header[at + 2])) << 8 | quint32(quint8(header[at + 3]));
    };
    const quint32 rawPageSize = quint32(quint8(header[16])) << 8 | quint8(header[17]);
    const qint64 pageSize = rawPageSize == 1 ? 65536 : rawPageSize;
    // A header that makes no sense is SQLite's to report ("not a database").
    if (pageSize < 512 || (pageSize & (pageSize - 1)) != 0)
        return std::nullopt;
    const quint32 pages = be32(28);
    // The page count in the header counts only while its change counter matches the valid-for number.
    const bool countIsValid = pages > 0 && be32(24) == be32(92);
    if (countIsValid && pageSize * pages > info.size())
        return QStringLiteral("%1 is cut short (%2 of %3 bytes); it is left as it is")
            .arg(path)
            .arg(info.size())
            .arg(pageSize * pages);
    return std::nullopt;
}

} // namespace vorn::sqlite
