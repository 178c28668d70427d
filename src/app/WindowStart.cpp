#include "app/WindowStart.h"

#include "app/Appearance.h"
#include "app/DesktopColorScheme.h"
#include "app/MainWindow.h"
#include "model/AppModel.h"
#include "model/Startup.h"
#include "pixel/VornFont.h"
#include "transfer/ClipboardPasteboard.h"
#include "transfer/DesktopWorkspace.h"
#include "ui/focus/FocusPanelController.h"
#include "ui/main/MainView.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QMessageBox>
#include <QSocketNotifier>
#include <QTextStream>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace vorn {

namespace {

int gSignalPipe[2] = {-1, -1};

void onQuitSignal(int)
{
    const char byte = 1;
    // Only async-signal-safe work here; the event loop does the rest.
    [[maybe_unused]] const auto written = ::write(gSignalPipe[0], &byte, 1);
}

// A terminated session (logout, kill) quits through the event loop, so the last edits are saved.
void quitOnSignals(QApplication& app)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, gSignalPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(gSignalPipe[1], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [notifier] {
        notifier->setEnabled(false);
        char byte = 0;
        [[maybe_unused]] const auto got = ::read(gSignalPipe[1], &byte, 1);
        QApplication::quit();
    });
    struct sigaction action = {};
    action.sa_handler = onQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

// Two processes on one store would each save over the other's things, and each mirror would
// tombstone the other's new ones in the family file. The lock belongs to the process: one that died
// leaves a stale lock the next start takes over. Returns false when a live process holds it.
bool lockStore(const Launch& launch, std::unique_ptr<QLockFile>& lock)
{
    const QString path = launch.storeLockPath();
    if (path.isEmpty())
        return true;
    QDir().mkpath(QFileInfo(path).absolutePath());
    lock = std::make_unique<QLockFile>(path);
    // Only a dead owner makes a lock stale; by age alone a long day's lock would be taken over.
    lock->setStaleLockTime(0);
    if (lock->tryLock(0))
        return true;
    const bool heldElsewhere = lock->error() == QLockFile::LockFailedError;
    // A folder we can't write to: the store's own open says what is wrong.
    lock.reset();
    return !heldElsewhere;
}

} // namespace

bool hasDisplay(const QProcessEnvironment& environment)
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    return !environment.value(QStringLiteral("QT_QPA_PLATFORM")).isEmpty() ||
           !environment.value(QStringLiteral("DISPLAY")).isEmpty() ||
           !environment.value(QStringLiteral("WAYLAND_DISPLAY")).isEmpty();
#else
    Q_UNUSED(environment);
    return true;
#endif
}

QString noDisplayAdvice()
{
    return QStringLiteral("vorn todo needs a display for its window, and there is none here (DISPLAY and "
                          "WAYLAND_DISPLAY are unset).\n"
                          "  ./scripts/run starts it on a virtual display (Xvfb) by itself,\n"
                          "  xvfb-run -a vorn-todo does the same by hand,\n"
                          "  vorn-todo --list today prints a list without any display.\n");
}

std::unique_ptr<WindowApp> openWindowApp(const Launch& launch, QString* error)
{
    std::unique_ptr<Store> store = makeStore(launch, error);
    if (!store)
        return nullptr;
    auto app = std::make_unique<WindowApp>();
    app->model = makeModel(launch, std::move(store));
    app->window = std::make_unique<MainWindow>(*app->model);
    MainWindow* window = app->window.get();
    app->focus = std::make_unique<FocusPanelController>(*app->model);
    FocusPanelController* focus = app->focus.get();
    AppModel* model = app->model.get();
    ShellHooks hooks;
    hooks.showFocusPanel = [focus] { focus->show(); };
    hooks.hideFocusPanel = [focus] { focus->hide(); };
    hooks.hideMainWindow = [window] { window->hide(); };
    hooks.raiseMainWindow = [window] {
        window->show();
        window->raise();
        window->activateWindow();
        return true;
    };
    app->model->setShellHooks(std::move(hooks));
    window->mainView()->setEnterFocusMode([model] { model->enterFocusMode(); });
    openDemoTab(*app->model, launch);
    return app;
}

int runWindowApp(int& argc, char** argv)
{
    if (!hasDisplay(QProcessEnvironment::systemEnvironment())) {
        QTextStream(stderr) << noDisplayAdvice();
        return 2;
    }
    QApplication qapp(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Vorn"));
    QCoreApplication::setApplicationName(QStringLiteral("vorn-todo"));
    QGuiApplication::setApplicationDisplayName(QStringLiteral("vorn todo"));
    quitOnSignals(qapp);

    ClipboardPasteboard pasteboard;
    DesktopWorkspace workspace;
    Launch launch = Launch::fromProcess();
    launch.pasteboard = &pasteboard;
    launch.workspace = &workspace;
    // Before anything else: a second start has nothing to set up.
    std::unique_ptr<QLockFile> lock;
    if (!lockStore(launch, lock)) {
        QTextStream(stderr) << "vorn todo is already running.\n";
        return 0;
    }

    // Without it the pixel-font titles fall back to the UI face; nothing to report.
    VornFont::registerFont();
    // Asked first, so the portal answers while the store opens.
    DesktopColorScheme colorScheme(QDBusConnection::sessionBus());
    wearDesktopAppearance(colorScheme);
    colorScheme.start();

    QString error;
    std::unique_ptr<WindowApp> app = openWindowApp(launch, &error);
    if (!app) {
        const QString message = QStringLiteral("Couldn't open the store: ") + error;
        QTextStream(stderr) << message << '\n';
        if (QGuiApplication::platformName() != QLatin1String("offscreen"))
            QMessageBox::critical(nullptr, QStringLiteral("vorn todo"), message);
        return 1;
    }
    colorScheme.awaitFirstAnswer(std::chrono::milliseconds(100));
    app->window->show();
    const int rc = QApplication::exec();

    QString saveError;
    if (!app->model->store().save(&saveError))
        QTextStream(stderr) << "vorn-todo: couldn't save: " << saveError << '\n';
    app->focus.reset();
    app->window.reset();
    app->model.reset();
    return rc;
}

} // namespace vorn
