#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>
#include <vector>

namespace vorn {

// What to do when the path names a symbolic link.
enum class FileLinks {
    Follow, // write to (read from) what the link names, as an editor saving the user's file would
    Refuse, // a link is a file someone else put there: never read, never written through
};

// Replaces the file at `path` with `bytes` so that a reader sees the old file whole or the new one whole:
// a temporary file beside it is written, flushed and synced to disk, then renamed over it. Every step is
// checked (a full disk shows up at the write or the sync, not at some later close); on any failure the
// old file is left as it was, the temporary is removed, false is returned and `error` says why.
bool writeFileAtomically(const QString& path, QByteArrayView bytes, QString* error = nullptr,
                         FileLinks links = FileLinks::Follow);

struct FileToWrite {
    QString name; // in the folder
    QByteArrayView bytes;
};

// Several files of one folder, each written as writeFileAtomically writes one (a reader sees the old
// file whole or the new one whole, never a part), but their data brought to disk by one sync rather than
// one each, and the folder synced once. Whether each was written, in their order.
std::vector<bool> writeFilesAtomically(const QString& folder, const std::vector<FileToWrite>& files,
                                       FileLinks links = FileLinks::Follow);

// The bytes of a regular file of at most `maxSize` bytes; none when it is missing, is a folder, a device
// or a fifo (which could be read for ever), is larger, or can't be read. With FileLinks::Refuse a link at
// the end of the path is not followed.
std::optional<QByteArray> readRegularFile(const QString& path, qint64 maxSize, QString* error = nullptr,
                                          FileLinks links = FileLinks::Follow);

// Whether the path itself (not what it may name) is a symbolic link.
bool isSymbolicLink(const QString& path);

} // namespace vorn
