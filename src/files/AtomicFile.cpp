#include "files/AtomicFile.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vorn {
namespace {

QString describe(const QString& what, const QString& path, int code)
{
    return QStringLiteral("%1 %2: %3")
        .arg(what, QDir::toNativeSeparators(path), QString::fromLocal8Bit(std::strerror(code)));
}

bool fail(QString* error, QString text)
{
    if (error)
        *error = std::move(text);
    return false;
}

bool writeAll(int fd, QByteArrayView bytes)
{
    const char* at = bytes.data();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, at, size_t(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0) {
            errno = ENOSPC;
            return false;
        }
        at += n;
        left -= n;
    }
    return true;
}

// The file a write to `path` lands in: what a link names when links are followed.
QString targetOf(const QString& path, FileLinks links)
{
    if (links == FileLinks::Refuse || !isSymbolicLink(path))
        return path;
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.symLinkTarget() : canonical;
}

} // namespace

bool isSymbolicLink(const QString& path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISLNK(st.st_mode);
}

bool writeFileAtomically(const QString& path, QByteArrayView bytes, QString* error, FileLinks links)
{
    if (path.isEmpty())
        return fail(error, QStringLiteral("No file name to write to"));
    const QString target = targetOf(path, links);
    const QByteArray final = QFile::encodeName(target);

    // Keep the mode of the file being replaced; a new file gets the usual mode under the umask.
    mode_t mode = 0;
    struct stat old {};
    if (::lstat(final.constData(), &old) == 0) {
        if (S_ISLNK(old.st_mode))
            return fail(
                error,
                QStringLiteral("%1 is a link; it is left alone").arg(QDir::toNativeSeparators(target)));
        if (!S_ISREG(old.st_mode))
            return fail(error,
                        QStringLiteral("%1 is not a regular file").arg(QDir::toNativeSeparators(target)));
        mode = old.st_mode & 07777;
    } else if (errno != ENOENT) {
        return fail(error, describe(QStringLiteral("Can't reach"), target, errno));
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }

    const QFileInfo info(target);
    QByteArray temp = QFile::encodeName(info.absolutePath() + QStringLiteral("/.") + info.fileName() +
                                        QStringLiteral(".XXXXXX"));
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return fail(error, describe(QStringLiteral("Can't write in"), info.absolutePath(), errno));
    auto abandon = [&](const QString& what) {
        const int code = errno;
        ::close(fd);
        ::unlink(temp.constData());
        return fail(error, describe(what, target, code));
    };
    if (::fchmod(fd, mode) != 0)
        return abandon(QStringLiteral("Can't set the mode of"));
    if (!writeAll(fd, bytes))
        return abandon(QStringLiteral("Couldn't write"));
    // The sync is where a full disk or a lost device shows itself on many file systems.
    if (::fsync(fd) != 0)
        return abandon(QStringLiteral("Couldn't write"));
    if (::close(fd) != 0) {
        const int code = errno;
        ::unlink(temp.constData());
        return fail(error, describe(QStringLiteral("Couldn't write"), target, code));
    }
    // rename() replaces a link planted meanwhile rather than writing through it.
    if (::rename(temp.constData(), final.constData()) != 0) {
        const int code = errno;
        ::unlink(temp.constData());
        return fail(error, describe(QStringLiteral("Couldn't replace"), target, code));
    }
    // The rename lasts a power cut only once the folder is on disk too; the data is safe either way.
    if (const int dir =
            ::open(QFile::encodeName(info.absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

std::optional<QByteArray> readRegularFile(const QString& path, qint64 maxSize, QString* error,
                                          FileLinks links)
{
    if (path.isEmpty())
        return std::nullopt;
    int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK; // a fifo must not hold the open
    if (links == FileLinks::Refuse)
        flags |= O_NOFOLLOW;
    const int fd = ::open(QFile::encodeName(path).constData(), flags);
    if (fd < 0) {
        if (error)
            *error =
                errno == ELOOP
                    ? QStringLiteral("%1 is a link; it is left alone").arg(QDir::toNativeSeparators(path))
                    : describe(QStringLiteral("Can't read"), path, errno);
        return std::nullopt;
    }
    struct stat st {};
    std::optional<QByteArray> out;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        if (error)
            *error = QStringLiteral("%1 is not a regular file").arg(QDir::toNativeSeparators(path));
    } else if (st.st_size > maxSize) {
        if (error)
            *error = QStringLiteral("%1 is too large (%2 bytes)")
                         .arg(QDir::toNativeSeparators(path))
                         .arg(qint64(st.st_size));
    } else {
        // One byte more than the size asked for: a file that grows while it is read is not taken half.
        QByteArray bytes(qsizetype(st.st_size) + 1, Qt::Uninitialized);
        qsizetype have = 0;
        int code = 0;
        while (have < bytes.size()) {
            const ssize_t n = ::read(fd, bytes.data() + have, size_t(bytes.size() - have));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                code = n < 0 ? errno : 0;
                break;
            }
            have += n;
        }
        if (code != 0) {
            if (error)
                *error = describe(QStringLiteral("Can't read"), path, code);
        } else if (have > st.st_size) {
            if (error)
                *error = QStringLiteral("%1 changed while it was read").arg(QDir::toNativeSeparators(path));
        } else {
            bytes.truncate(have);
            out = std::move(bytes);
        }
    }
    ::close(fd);
    return out;
}

} // namespace vorn
