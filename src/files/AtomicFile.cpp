#include "files/AtomicFile.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

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

namespace {

// A file written beside its place under a name of its own, not yet synced nor renamed.
struct Staged {
    QByteArray temp;
    QByteArray final;
    QString target;
    int fd = -1;
};

// Everything up to the sync: the checks of what is in the file's place, a temporary file beside it with
// the old file's mode, and the bytes written to it. On failure nothing is left behind.
bool stage(const QString& path, QByteArrayView bytes, FileLinks links, Staged& out, QString* error)
{
    if (path.isEmpty())
        return fail(error, QStringLiteral("No file name to write to"));
    out.target = targetOf(path, links);
    out.final = QFile::encodeName(out.target);
    const QString& target = out.target;

    // Keep the mode of the file being replaced; a new file gets the usual mode under the umask.
    mode_t mode = 0;
    struct stat old {};
    if (::lstat(out.final.constData(), &old) == 0) {
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
    out.temp = QFile::encodeName(info.absolutePath() + QStringLiteral("/.") + info.fileName() +
                                 QStringLiteral(".XXXXXX"));
    out.fd = ::mkostemp(out.temp.data(), O_CLOEXEC);
    if (out.fd < 0)
        return fail(error, describe(QStringLiteral("Can't write in"), info.absolutePath(), errno));
    auto abandon = [&](const QString& what) {
        const int code = errno;
        ::close(out.fd);
        ::unlink(out.temp.constData());
        out.fd = -1;
        return fail(error, describe(what, target, code));
    };
    if (::fchmod(out.fd, mode) != 0)
        return abandon(QStringLiteral("Can't set the mode of"));
    if (!writeAll(out.fd, bytes))
        return abandon(QStringLiteral("Couldn't write"));
    return true;
}

// Closes the synced temporary file and renames it into place; on failure it is removed.
bool commit(Staged& staged, QString* error)
{
    const int fd = std::exchange(staged.fd, -1);
    if (fd >= 0 && ::close(fd) != 0) {
        const int code = errno;
        ::unlink(staged.temp.constData());
        return fail(error, describe(QStringLiteral("Couldn't write"), staged.target, code));
    }
    // rename() replaces a link planted meanwhile rather than writing through it.
    if (::rename(staged.temp.constData(), staged.final.constData()) != 0) {
        const int code = errno;
        ::unlink(staged.temp.constData());
        return fail(error, describe(QStringLiteral("Couldn't replace"), staged.target, code));
    }
    return true;
}

// The rename lasts a power cut only once the folder is on disk too; the data is safe either way.
void syncFolder(const QString& folder)
{
    if (const int dir = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

} // namespace

bool writeFileAtomically(const QString& path, QByteArrayView bytes, QString* error, FileLinks links)
{
    Staged staged;
    if (!stage(path, bytes, links, staged, error))
        return false;
    // The sync is where a full disk or a lost device shows itself on many file systems.
    if (::fsync(staged.fd) != 0) {
        const int code = errno;
        ::close(staged.fd);
        ::unlink(staged.temp.constData());
        return fail(error, describe(QStringLiteral("Couldn't write"), staged.target, code));
    }
    if (!commit(staged, error))
        return false;
    syncFolder(QFileInfo(staged.target).absolutePath());
    return true;
}

std::vector<bool> writeFilesAtomically(const QString& folder, const std::vector<FileToWrite>& files,
                                       FileLinks links)
{
    std::vector<bool> out(files.size(), false);
    // Opened first: a sync of the file system through it tells of any write that failed since.
    const int dir = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0)
        return out;
    std::vector<Staged> staged(files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        const QString path = QDir(folder).filePath(files[i].name);
        // Closed at once, so that a thousand files never need a thousand descriptors; the sync below
        // finds their data by the file system, not by the descriptor.
        if (!stage(path, files[i].bytes, links, staged[i], nullptr))
            continue;
        if (::close(std::exchange(staged[i].fd, -1)) != 0) {
            ::unlink(staged[i].temp.constData());
            continue;
        }
        out[i] = true;
    }
    bool synced = false;
#ifdef __linux__
    // One sync of the whole file system costs about what one file's does, not a thousand of them.
    synced = ::syncfs(dir) == 0;
#endif
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (!out[i])
            continue;
        if (!synced) {
            const int fd = ::open(staged[i].temp.constData(), O_RDONLY | O_CLOEXEC);
            const bool ok = fd >= 0 && ::fsync(fd) == 0;
            if (fd >= 0)
                ::close(fd);
            if (!ok) {
                ::unlink(staged[i].temp.constData());
                out[i] = false;
                continue;
            }
        }
        out[i] = commit(staged[i], nullptr);
    }
    ::fsync(dir);
    ::close(dir);
    return out;
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
