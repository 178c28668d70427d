#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

namespace vorn::test {

std::unique_ptr<QTemporaryDir> isolateTestProcess()
{
    auto home = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/vorn-test-home-XXXXXX"));
    if (!home->isValid())
        return nullptr;
    qputenv("HOME", home->path().toUtf8());
    for (const char* v : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME"})
        qunsetenv(v);
    // The hand-off file lives in the runtime folder: it must be private to this process too.
    const QString runtime = home->path() + QStringLiteral("/runtime");
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", runtime.toUtf8());
    // Test discovery runs the binaries outside CTest's environment, so set the platform here as well.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);
    return home;
}

} // namespace vorn::test
