#include "family/NoteFiles.h"

#include "files/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QUuid>

#include <cerrno>
#include <sys/stat.h>

namespace vorn {

bool isSafeNoteStem(const QString& stem)
{
    if (stem.isEmpty() || stem.size() > kMaxNoteStemLength || stem.startsWith(QLatin1Char('.')))
        return false;
    for (QChar c : stem) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c.isNull() ||
            c.category() == QChar::Other_Control)
            return false;
    }
    return true;
}

QString NoteFolder::newStem()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toLower();
}

bool NoteFolder::canUse(const std::optional<QString>& stem) const
{
    if (!stem)
        return false;
    const QString path = filePath(*stem);
    if (path.isEmpty())
        return false;
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return errno == ENOENT; // nothing there yet: ours to write
    return S_ISREG(info.st_mode) && info.st_nlink == 1;
}

QString NoteFolder::filePath(const QString& stem) const
{
    if (m_path.isEmpty() || !isSafeNoteStem(stem))
        return {};
    return QDir(m_path).filePath(stem + QStringLiteral(".rtf"));
}

std::optional<QByteArray> NoteFolder::read(const QString& stem) const
{
    // A link in the folder is somebody else's file: it is never read as a note.
    if (!canUse(stem))
        return std::nullopt;
    return readRegularFile(filePath(stem), kMaxNoteFileSize, nullptr, FileLinks::Refuse);
}

bool NoteFolder::write(const QString& stem, const QByteArray& rtf, QString* error) const
{
    const QString path = filePath(stem);
    if (path.isEmpty()) {
        if (error)
            *error = QStringLiteral("%1 can't name a note file").arg(stem);
        return false;
    }
    QDir().mkpath(m_path); // the folder may have gone since start-up
    // Never written through a link: the file it names may be anything of the user's.
    return writeFileAtomically(path, rtf, error, FileLinks::Refuse);
}

std::vector<bool> NoteFolder::writeAll(const std::vector<std::pair<QString, QByteArray>>& notes) const
{
    std::vector<FileToWrite> files;
    std::vector<std::size_t> whose;
    for (std::size_t i = 0; i < notes.size(); ++i) {
        if (filePath(notes[i].first).isEmpty())
            continue;
        files.push_back({notes[i].first + QStringLiteral(".rtf"), notes[i].second});
        whose.push_back(i);
    }
    std::vector<bool> out(notes.size(), false);
    if (files.empty())
        return out;
    QDir().mkpath(m_path);
    const std::vector<bool> written = writeFilesAtomically(m_path, files, FileLinks::Refuse);
    for (std::size_t k = 0; k < whose.size(); ++k)
        out[whose[k]] = written[k];
    return out;
}

void NoteFolder::remove(const QString& stem) const
{
    // A link is left where it is, like any file that isn't ours.
    if (const QString path = filePath(stem); !path.isEmpty() && !isSymbolicLink(path))
        QFile::remove(path);
}

} // namespace vorn
