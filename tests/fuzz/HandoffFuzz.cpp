// The planner hand-off file, as a crashed or hostile writer may have left it in the runtime folder.
// What a read finds under a type must be what a fresh file of ours gives back, and taking the file
// must find the same and leave no file behind.
#include "family/FamilyConstants.h"
#include "transfer/HandoffFile.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

using namespace vorn;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // In memory where there is such a folder: every write of ours syncs the file to disk.
    static const QTemporaryDir dir(
        QFile::exists(QStringLiteral("/dev/shm")) ? QStringLiteral("/dev/shm/vorn-fuzz-XXXXXX") : QString());
    static const QString path = dir.filePath(QStringLiteral("handoff"));
    static const QString copyPath = dir.filePath(QStringLiteral("copy"));
    const QString type(kThingsPasteboardType);
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(reinterpret_cast<const char*>(data), qint64(size)) != qint64(size))
            return 0;
    }
    HandoffFile handoff(path);
    const std::optional<QByteArray> found = handoff.data(type);
    (void)handoff.data(QString(kPlainTextType));
    if (found) {
        HandoffFile copy(copyPath);
        copy.clear();
        if (!copy.setData(type, *found) || copy.data(type) != found)
            __builtin_trap();
        copy.clear();
    }
    if (handoff.take(type) != found || QFile::exists(path))
        __builtin_trap();
    return 0;
}
