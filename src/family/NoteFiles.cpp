#include "family/NoteFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QUuid>

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

QString NoteFolder::filePath(const QString& stem) const
{
    if (m_path.isEmpty() || !isSafeNoteStem(stem))
        return {};
    return QDir(m_path).filePath(stem + QStringLiteral(".rtf"));
}

std::optional<QByteArray> NoteFolder::read(const QString& stem) const
{
    QFile file(filePath(stem));
    // Only a regular file of a sane size: a link to a device would be read for ever.
    const QFileInfo info(file.fileName());
    if (file.fileName().isEmpty() || !info.isFile() || info.size() > kMaxNoteFileSize ||
        !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray rtf = file.read(kMaxNoteFileSize + 1);
    if (rtf.size() > kMaxNoteFileSize)
        return std::nullopt;
    return rtf;
}

bool NoteFolder::write(const QString& stem, const QByteArray& rtf) const
{
    const QString path = filePath(stem);
    if (path.isEmpty())
        return false;
    QDir().mkpath(m_path); // the folder may have gone since start-up
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(rtf) == rtf.size() && file.commit();
}

void NoteFolder::remove(const QString& stem) const
{
    if (const QString path = filePath(stem); !path.isEmpty())
        QFile::remove(path);
}

} // namespace vorn
