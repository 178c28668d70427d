#include "transfer/HandoffFile.h"

#include "family/FamilyConstants.h"
#include "files/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUuid>

#if defined(Q_OS_UNIX)
#include <unistd.h>
#endif

namespace vorn {

namespace {

constexpr QByteArrayView kMagic{"vorn-handoff 1\n"};

// Without XDG_RUNTIME_DIR we make our own folder in the temp folder, readable by us alone. One that
// is someone else's, a link, or open to others is not used: anything in it could be planted.
QString privateTempFolder()
{
#if defined(Q_OS_UNIX)
    const uint uid = uint(::getuid());
    const QString path = QDir::tempPath() + QStringLiteral("/vorn-") + QString::number(uid);
    QDir().mkdir(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    const QFileInfo info(path);
    const QFileDevice::Permissions others = QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                                            QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                            QFileDevice::WriteOther | QFileDevice::ExeOther;
    if (info.isSymLink() || !info.isDir() || info.ownerId() != uid || (info.permissions() & others))
        return {};
    return path;
#else
    return QDir::tempPath();
#endif
}

QString runtimeFolder()
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN) && !defined(Q_OS_ANDROID)
    // Qt would warn and pick a folder of its own; we pick ours quietly, the same in every process.
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        return privateTempFolder();
#endif
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return folder.isEmpty() ? privateTempFolder() : folder;
}

using Items = std::vector<std::pair<QString, QByteArray>>;

QByteArray serialize(const Items& items)
{
    QByteArray out(kMagic.data(), kMagic.size());
    for (const auto& [type, data] : items) {
        out += type.toUtf8() + '\n' + QByteArray::number(data.size()) + '\n';
        out += data;
        out += '\n';
    }
    return out;
}

// The items of a whole file; nothing when it is not one of ours.
std::optional<Items> deserialize(QByteArrayView bytes)
{
    if (!bytes.startsWith(kMagic))
        return std::nullopt;
    Items items;
    qsizetype at = kMagic.size();
    auto line = [&](QByteArrayView& out) {
        const qsizetype end = bytes.indexOf('\n', at);
        if (end < 0)
            return false;
        out = bytes.sliced(at, end - at);
        at = end + 1;
        return true;
    };
    while (at < bytes.size()) {
        QByteArrayView type, size;
        if (!line(type) || !line(size))
            return std::nullopt;
        bool ok = false;
        const qint64 n = size.toLongLong(&ok);
        if (!ok || n < 0 || n >= bytes.size() - at || bytes.at(at + n) != '\n')
            return std::nullopt;
        items.emplace_back(QString::fromUtf8(type), bytes.sliced(at, n).toByteArray());
        at += n + 1;
    }
    return items;
}

std::optional<Items> readItems(const QString& path)
{
    // A link in the runtime folder was planted: the hand-off is only ever a file of ours.
    const std::optional<QByteArray> bytes =
        readRegularFile(path, HandoffFile::kMaxBytes, nullptr, FileLinks::Refuse);
    return bytes ? deserialize(*bytes) : std::nullopt;
}

std::optional<QByteArray> find(const std::optional<Items>& items, const QString& type)
{
    if (items) {
        for (const auto& item : *items) {
            if (item.first == type)
                return item.second;
        }
    }
    return std::nullopt;
}

} // namespace

HandoffFile::HandoffFile(QString path) : m_path(path.isEmpty() ? defaultPath() : std::move(path)) {}

QString HandoffFile::defaultPath()
{
    const QString folder = runtimeFolder();
    return folder.isEmpty() ? QString() : pathIn(folder);
}

QString HandoffFile::pathIn(const QString& folder)
{
    return QDir(folder).filePath(kHandoffPasteboardName);
}

void HandoffFile::clear()
{
    m_staged.clear();
    if (!m_path.isEmpty())
        QFile::remove(m_path);
}

bool HandoffFile::setData(const QString& type, const QByteArray& data)
{
    if (m_path.isEmpty() || type.contains(QLatin1Char('\n')))
        return false;
    putItem(m_staged, type, data);
    const QByteArray bytes = serialize(m_staged);
    if (bytes.size() > kMaxBytes)
        return false; // the reader would refuse it
    return writeFileAtomically(m_path, bytes, nullptr, FileLinks::Refuse);
}

std::optional<QByteArray> HandoffFile::data(const QString& type) const
{
    return find(readItems(m_path), type);
}

std::optional<QByteArray> HandoffFile::take(const QString& type)
{
    if (m_path.isEmpty())
        return std::nullopt;
    // Renaming is atomic: whoever moves the file away owns this hand-off.
    const QString claimed =
        m_path + QStringLiteral(".taken-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    if (!QFile::rename(m_path, claimed))
        return std::nullopt;
    std::optional<QByteArray> out = find(readItems(claimed), type);
    QFile::remove(claimed);
    return out;
}

} // namespace vorn
