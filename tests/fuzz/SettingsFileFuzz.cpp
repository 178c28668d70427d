// The settings file as an editor, a crash or another version may have left it. Opening it must not
// crash, every key must read through each typed getter, and our next write must keep everything the
// file held (numbers as the doubles JSON gives us, top-level nulls dropped) besides what we wrote; a file
// that is not a JSON object is left exactly as it was.
#include "model/Settings.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

using namespace vorn;

namespace {

// Integers that JSON parsed exactly still come back from the store as doubles.
QJsonValue asDoubles(const QJsonValue& v)
{
    if (v.isDouble())
        return v.toDouble();
    if (v.isArray()) {
        QJsonArray out;
        for (const QJsonValue& item : v.toArray())
            out.append(asDoubles(item));
        return out;
    }
    if (v.isObject()) {
        QJsonObject out;
        const QJsonObject o = v.toObject();
        for (auto it = o.begin(); it != o.end(); ++it)
            out.insert(it.key(), asDoubles(it.value()));
        return out;
    }
    return v;
}

std::optional<QJsonObject> objectIn(const QByteArray& bytes)
{
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    return doc.object();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // In memory where there is such a folder: every write syncs the file to disk.
    static const QTemporaryDir dir(
        QFile::exists(QStringLiteral("/dev/shm")) ? QStringLiteral("/dev/shm/vorn-fuzz-XXXXXX") : QString());
    static int count = 0;
    // A fresh name each time: handles on one file share what was read, and we want it read.
    const QString path = dir.filePath(QStringLiteral("settings-%1.json").arg(++count));
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            return 0;
    }
    const std::optional<QJsonObject> original = objectIn(bytes);
    {
        Settings settings(path);
        if (original) {
            for (auto it = original->begin(); it != original->end(); ++it) {
                (void)settings.boolValue(it.key(), false);
                (void)settings.doubleValue(it.key());
                (void)settings.stringValue(it.key());
                (void)settings.mapValue(it.key());
            }
        }
        settings.setValue(QStringLiteral("fuzz.written"), true);
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        __builtin_trap();
    const QByteArray after = file.readAll();
    file.remove();
    // A file we can't read is the user's to mend: it is left exactly as it was.
    if (!original && !bytes.isEmpty()) {
        if (after != bytes)
            __builtin_trap();
        return 0;
    }
    const std::optional<QJsonObject> written = objectIn(after);
    if (!written)
        __builtin_trap();
    // An empty file takes our write; a readable one keeps all it held.
    QJsonObject expected;
    if (original) {
        for (auto it = original->begin(); it != original->end(); ++it) {
            if (!it.value().isNull())
                expected.insert(it.key(), asDoubles(it.value()));
        }
    }
    expected.insert(QStringLiteral("fuzz.written"), true);
    if (asDoubles(*written) != expected)
        __builtin_trap();
    return 0;
}
