#pragma once

#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cerrno>
#include <cstring>
#include <sys/mount.h>

namespace vorn::test {

// A real file system of a few kilobytes (tmpfs) on a fresh folder, to see what a full or read-only disk
// does to our writes. Mounting needs the right to (root, as in CI); a test without it skips with why().
class TinyDisk {
public:
    explicit TinyDisk(qint64 bytes = 256 * 1024)
    {
        const QByteArray options = "size=" + QByteArray::number(bytes) + ",mode=0755";
        if (::mount("tmpfs", QFile::encodeName(m_dir.path()).constData(), "tmpfs", 0, options.constData()) ==
            0)
            m_mounted = true;
        else
            m_why =
                QStringLiteral("can't mount a tmpfs here: ") + QString::fromLocal8Bit(std::strerror(errno));
    }
    ~TinyDisk()
    {
        if (m_mounted)
            ::umount2(QFile::encodeName(m_dir.path()).constData(), MNT_DETACH);
    }
    TinyDisk(const TinyDisk&) = delete;
    TinyDisk& operator=(const TinyDisk&) = delete;

    bool isMounted() const { return m_mounted; }
    const QString& why() const { return m_why; }
    QString path() const { return m_dir.path(); }
    QString filePath(const QString& name) const { return m_dir.filePath(name); }

    // Takes every free byte (a file "filler" that writes until the disk says no); emptied by `drain`.
    void fill()
    {
        QFile filler(filePath(QStringLiteral(".filler")));
        if (!filler.open(QIODevice::Append))
            return;
        const QByteArray block(4096, 'x');
        while (filler.write(block) == block.size() && filler.flush()) {
        }
        // The last partial block: tmpfs hands out whole pages, so single bytes finish it.
        while (filler.write("x", 1) == 1 && filler.flush()) {
        }
    }
    void drain() { QFile::remove(filePath(QStringLiteral(".filler"))); }

    // Read-only is enforced for root too, unlike a folder's mode bits.
    bool setReadOnly(bool readOnly)
    {
        const unsigned long flags = MS_REMOUNT | (readOnly ? MS_RDONLY : 0);
        return ::mount("tmpfs", QFile::encodeName(m_dir.path()).constData(), "tmpfs", flags, nullptr) == 0;
    }

private:
    QTemporaryDir m_dir;
    bool m_mounted = false;
    QString m_why;
};

} // namespace vorn::test
