#pragma once

#include <QByteArray>
#include <QString>

#include <optional>
#include <utility>
#include <vector>

namespace vorn {

// Largest note file read; a note with pictures is a few megabytes at most.
inline constexpr qint64 kMaxNoteFileSize = 64 * 1024 * 1024;

// Longest note stem accepted; a UUID stem has 36 characters.
inline constexpr qsizetype kMaxNoteStemLength = 128;

// Whether a note identity is a plain file stem that stays inside the notes folder. Note identities come
// from records that other applications write too, so one that could name a path elsewhere ("../x", "a/b"),
// a hidden file, or that carries control characters is never used as a file name.
bool isSafeNoteStem(const QString& stem);

// A note as an editor opens it: the file's RTF when it can be read, and the plain copy the record keeps.
struct NoteContent {
    std::optional<QByteArray> rtf;
    QString plain;
};

// The notes folder the family shares: one RTF file per note, named by its stem plus ".rtf". A stem that
// is not safe is never used as a file name, and a folder without a path is never written to (not next
// to wherever the process happens to run).
class NoteFolder {
public:
    explicit NoteFolder(QString path = {}) : m_path(std::move(path)) {}

    const QString& path() const { return m_path; }
    // A fresh stem of ours: a UUID in lower case.
    static QString newStem();
    // Whether the stem may name a note file we read and write: a safe stem whose place is empty or holds
    // a regular file. A link, a folder or anything else there is somebody else's, and so is a file with
    // other names (hard links) elsewhere: a note moves off such a stem to a fresh file of ours.
    bool canUse(const std::optional<QString>& stem) const;
    // The note's RTF; none when the stem is unsafe or the file can't be read, is a link, isn't a regular
    // file or is larger than kMaxNoteFileSize.
    std::optional<QByteArray> read(const QString& stem) const;
    // Writes the file atomically, making the folder again if it went; false when that failed, with the
    // reason in `error`. A link in the file's place is never written through.
    bool write(const QString& stem, const QByteArray& rtf, QString* error = nullptr) const;
    // Several notes as write() writes one, their data brought to disk together (one sync, not one
    // each): whether each was written, in their order.
    std::vector<bool> writeAll(const std::vector<std::pair<QString, QByteArray>>& notes) const;
    // Removes the file (not a link); a file left behind is harmless, so failures are not reported.
    void remove(const QString& stem) const;

private:
    QString filePath(const QString& stem) const;
    QString m_path;
};

} // namespace vorn
