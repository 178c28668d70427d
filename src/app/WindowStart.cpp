#include "app/WindowStart.h"

#include "app/AppCommands.h"
#include "app/AppShell.h"
#include "app/Appearance.h"
#include "app/CalendarSyncRunner.h"
#include "app/DesktopColorScheme.h"
#include "app/InstanceService.h"
#include "app/MainWindow.h"
#include "app/QuitGuard.h"
#include "app/StoreCommand.h"
#include "app/StoreOpening.h"
#include "model/AppModel.h"
#include "model/Launch.h"
#include "model/StartupTrace.h"
#include "pixel/AppIcon.h"
#include "pixel/VornFont.h"
#include "transfer/ClipboardPasteboard.h"
#include "transfer/DesktopWorkspace.h"
#include "ui/focus/FocusPanel.h"
#include "ui/focus/FocusPanelController.h"
#include "ui/main/MainView.h"

#include <QApplication>
#include <QIcon>
#include <QMessageBox>
#include <QPixmap>
#include <QSocketNotifier>
#include <QTextStream>
#include <QTimer>

#include <csignal>
#include <fontconfig/fontconfig.h>
#include <functional>
#include <sys/socket.h>
#include <thread>
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

// A terminated session (logout, kill, a closed terminal) quits through the event loop, so the last edits
// are saved.
void quitOnSignals(QApplication& app)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, gSignalPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(gSignalPipe[1], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [notifier] {
        notifier->setEnabled(false);
        char byte = 0;
        [[maybe_unused]] const auto got = ::read(gSignalPipe[1], &byte, 1);
        // A dialog's own loop (the start-up error, a question) would hold the quit until it is answered.
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
            dialog->done(QDialog::Rejected);
        QApplication::quit();
    });
    struct sigaction action = {};
    action.sa_handler = onQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
}

// Saves the store now, or keeps what can't be saved in a rescue file; the family mirror follows at exit.
void saveStore(AppModel& model, const Launch& launch)
{
    if (model.isReadOnly())
        return;
    QString message;
    if (saveOrRescue(model.store(), launch, &message) != LastSave::saved)
        QTextStream(stderr) << "vorn-todo: " << message << '\n';
}

// A second start hands over to the running app: it comes forward (with the add row open for New Thing)
// and this process goes. True when that happened and we should exit.
bool handedOver(const Launch& launch, bool newThing, int* rc)
{
    // A demo's throw-away store is nobody's instance: demos neither claim the name nor defer to it.
    if (launch.storeLockPath().isEmpty())
        return false;
    QString error;
    switch (callInstance(QDBusConnection::sessionBus(),
                         newThing ? QStringLiteral("NewThing") : QStringLiteral("Reopen"), {}, &error)) {
    case InstanceAnswer::done:
        *rc = 0;
        return true;
    case InstanceAnswer::failed:
    case InstanceAnswer::timedOut:
        QTextStream(stderr) << "vorn todo is already running, but didn't answer: " << error << '\n';
        *rc = 1;
        return true;
    case InstanceAnswer::noInstance:
        break;
    }
    return false;
}

} // namespace

namespace {

// Runs `then` once the window's first frame has been painted and handed to the screen, for start-up work
// that does not show in that frame; the start-up trace marks both moments.
class FirstFrame : public QObject {
public:
    FirstFrame(QWidget& window, std::function<void()> then) : m_window(window), m_then(std::move(then))
    {
        qApp->installEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && watched->isWidgetType() &&
            static_cast<QWidget*>(watched)->window() == &m_window) {
            qApp->removeEventFilter(this);
            traceStartup("first paint");
            QTimer::singleShot(0, this, [this] {
                // The frame waits in the connection to the display until it is flushed: a round trip
                // sends it and sees it taken before the rest of the start-up holds the thread.
                QGuiApplication::sync();
                traceStartup("first frame flushed");
                m_then();
                traceStartup("after the first frame");
            });
        }
        return false;
    }

private:
    QWidget& m_window;
    std::function<void()> m_then;
};

// Reading the desktop's font configuration is a good part of a start, and the first frame's text needs
// it. It is read on a thread of its own while QApplication connects to the display; Qt then finds it
// loaded. Fontconfig's start-up is safe to race, and the thread is joined before Qt's first font.
class FontConfigWarmUp {
public:
    FontConfigWarmUp() : m_thread([] { FcInit(); }) {}
    ~FontConfigWarmUp() { wait(); }
    FontConfigWarmUp(const FontConfigWarmUp&) = delete;
    FontConfigWarmUp& operator=(const FontConfigWarmUp&) = delete;
    void wait()
    {
        if (m_thread.joinable())
            m_thread.join();
    }

private:
    std::thread m_thread;
};

// The installed icon, else the same face drawn here. Looking it up in the icon theme loads the image
// plugins, which the first frame does not need.
void setWindowIcon()
{
    QIcon face;
    for (const int size : AppIcon::sizes)
        face.addPixmap(QPixmap::fromImage(AppIcon::image(size)));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("com.vorn.todo"), face));
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

void shareCommands(MainWindow& window, FocusPanelController& focus)
{
    // The menu commands live in the main window's menu bar; in focus mode that window is hidden, so the
    // panel carries the same actions, besides the ones it binds itself.
    focus.setOnPanelMade([commands = window.commands()](FocusPanel& panel) {
        commands->shareWith(&panel, panel.ownCommands());
    });
}

std::unique_ptr<WindowApp> openWindowApp(const Launch& launch, QString* error, std::unique_ptr<Store> opened)
{
    auto app = std::make_unique<WindowApp>();
    app->model = opened ? makeModel(launch, std::move(opened)) : openModel(launch, error);
    if (!app->model)
        return nullptr;
    traceStartup("model made");
    app->window = std::make_unique<MainWindow>(*app->model);
    traceStartup("main window made");
    MainWindow* window = app->window.get();
    app->focus = std::make_unique<FocusPanelController>(*app->model);
    FocusPanelController* focus = app->focus.get();
    shareCommands(*window, *focus);
    AppModel* model = app->model.get();
    ShellHooks hooks;
    hooks.showFocusPanel = [focus] { focus->show(); };
    hooks.hideFocusPanel = [focus] { focus->hide(); };
    hooks.hideMainWindow = [window] { window->putAway(); };
    hooks.raiseMainWindow = [window] {
        window->bringForward();
        return true;
    };
    app->model->setShellHooks(std::move(hooks));
    QObject::connect(window->mainView(), &MainView::focusModeRequested, model, &AppModel::enterFocusMode);
    openDemoTab(*app->model, launch);
    return app;
}

int runWindowApp(int& argc, char** argv, bool newThing)
{
    if (!hasDisplay(QProcessEnvironment::systemEnvironment())) {
        QTextStream(stderr) << noDisplayAdvice();
        return 2;
    }
    traceStartup("window start");
    FontConfigWarmUp fonts;
    // Named before the application exists: the store's folders follow the names.
    QCoreApplication::setOrganizationName(QStringLiteral("Vorn"));
    QCoreApplication::setApplicationName(QStringLiteral("vorn-todo"));
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    Launch launch = Launch::fromProcess(arguments);
    StoreOpening opening(launch);
    QApplication qapp(argc, argv);
    traceStartup("QApplication");
    // No application display name: Qt would append it to every window title.
    // The desktop entry's name is the app id on Wayland (the icon follows the first frame).
    QGuiApplication::setDesktopFileName(QStringLiteral("com.vorn.todo"));
    quitOnSignals(qapp);

    ClipboardPasteboard pasteboard;
    DesktopWorkspace workspace;
    // Without the options QApplication took for itself.
    launch.arguments = QCoreApplication::arguments();
    launch.pasteboard = &pasteboard;
    launch.workspace = &workspace;
    traceStartup("signals");
    // Before anything else: a second start has nothing to set up. The first start holds the store's
    // lock, so only a start that can't take it asks the bus for the running app; without a bus (or
    // while the first app is still starting) the lock alone keeps a second writer out.
    StoreOpening::Opened opened = opening.take();
    if (!opened.locked) {
        if (int rc = 0; handedOver(launch, newThing, &rc))
            return rc;
        QTextStream(stderr) << "vorn todo is already running.\n";
        return 0;
    }

    traceStartup("store locked and open");
    fonts.wait();
    traceStartup("font configuration");
    // Without it the pixel-font titles fall back to the UI face; nothing to report.
    VornFont::registerFont();
    traceStartup("pixel font");
    // Asked first, so the portal answers while the model and the window are made.
    DesktopColorScheme colorScheme(QDBusConnection::sessionBus());
    wearDesktopAppearance(colorScheme);
    colorScheme.start();
    traceStartup("colour scheme asked");

    QString error = opened.error;
    std::unique_ptr<WindowApp> app =
        opened.store ? openWindowApp(launch, &error, std::move(opened.store)) : nullptr;
    if (!app) {
        const QString message = storeUnopenedMessage(error);
        QTextStream(stderr) << message << '\n';
        if (QGuiApplication::platformName() != QLatin1String("offscreen"))
            QMessageBox::critical(nullptr, QStringLiteral("vorn todo"), message);
        return 1;
    }
    AppModel& model = *app->model;
    auto instance = std::make_unique<InstanceService>(model);
    if (!launch.storeLockPath().isEmpty() && QDBusConnection::sessionBus().isConnected() &&
        !instance->claim(QDBusConnection::sessionBus()))
        QTextStream(stderr) << "vorn-todo: another vorn todo owns " << kInstanceServiceName
                            << " on this session bus; starts here won't find this one.\n";
    auto shell = std::make_unique<AppShell>(model, *app->window);
    shell->setFocusPanel(*app->focus);
    // A demo's sample things are no one's to send anywhere.
    std::unique_ptr<CalendarSyncRunner> calendarSync;
    if (!launch.isDemo()) {
        calendarSync = std::make_unique<CalendarSyncRunner>(model, launch);
        instance->setCalendarSync(calendarSync.get());
        shell->setCalendarSync(calendarSync.get());
        calendarSync->startSchedule();
        QObject::connect(&qapp, &QGuiApplication::applicationStateChanged, calendarSync.get(),
                         [runner = calendarSync.get()](Qt::ApplicationState state) {
                             if (state == Qt::ApplicationActive)
                                 runner->windowActivated();
                         });
    }
    // A session that ends may not wait for the event loop to return.
    // Drafts go in first: what was typed and not entered is the user's too.
    QObject::connect(&qapp, &QGuiApplication::commitDataRequest, &qapp, [&model, &launch] {
        commitDrafts();
        saveStore(model, launch);
    });
    QObject::connect(&qapp, &QCoreApplication::aboutToQuit, &qapp, [&model, &launch] {
        commitDrafts();
        saveStore(model, launch);
    });

    traceStartup("shell");
    colorScheme.awaitFirstAnswer(std::chrono::milliseconds(100));
    traceStartup("colour scheme answered");
    FirstFrame firstFrame(*app->window, [&model] {
        setWindowIcon();
        model.familySync().readWholeIfDue();
    });
    app->window->show();
    traceStartup("shown");
    if (newThing)
        model.requestAdd();
    const int rc = QApplication::exec();

    saveStore(model, launch);
    // Off the bus first, so no late call reaches a model on its way out.
    instance.reset();
    shell.reset();
    app->focus.reset();
    app->window.reset();
    // Releasing the model flushes the family mirror.
    app->model.reset();
    return rc;
}

} // namespace vorn
