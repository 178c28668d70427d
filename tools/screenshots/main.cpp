// screenshots [FOLDER]: opens the main window on the demo data in a throw-away home folder and writes
// Today, Later, Done-ish, a pile, the random screen, the settings window, the tray popup, the focus
// panel floating and not, the toolbar with four long-named lists at 900 and 560 px, and an empty
// Today, in light and dark, as PNG files into FOLDER
// (docs/screenshots by default).

#include "app/Appearance.h"
#include "app/DesktopColorScheme.h"
#include "app/MainWindow.h"
#include "app/MenuBarSetting.h"
#include "app/MenuBarView.h"
#include "app/SettingsView.h"
#include "app/TrayIcon.h"
#include "app/WindowStart.h"
#include "model/AppModel.h"
#include "model/Startup.h"
#include "pixel/Theme.h"
#include "pixel/VornFont.h"
#include "ui/focus/FocusPanel.h"
#include "ui/focus/FocusPanelController.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

using namespace vorn;

namespace {

void settle()
{
    // Long enough for the store's change to arrive and the fades to finish.
    QTest::qWait(400);
}

std::optional<Tab> pileTab(const AppModel& model, const QString& name)
{
    for (Pile* p : model.piles()) {
        if (p->name() == name)
            return Tab::pile(p->id());
    }
    return std::nullopt;
}

} // namespace

int main(int argc, char** argv)
{
    // Pictures only: no display needed, and nothing of the user's is read or written.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    for (const char* name :
         {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "VORN_NOTES_DIR", "VORN_FAMILY_DB"})
        qunsetenv(name);
    qputenv("VORN_REDUCE_MOTION", "1"); // the yawn holds still, so every run draws the same picture

    QApplication qapp(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Vorn"));
    QCoreApplication::setApplicationName(QStringLiteral("vorn-todo"));
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(VORN_SCREENSHOT_DIR);
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "screenshots: cannot make %s\n", qPrintable(folder));
        return 1;
    }
    VornFont::registerFont();
    // The app's own way to light or dark, with the desktop's answer given here instead of over the bus.
    DesktopColorScheme colorScheme(QDBusConnection(QStringLiteral("no bus")));
    wearDesktopAppearance(colorScheme);

    int failures = 0;
    for (Appearance appearance : {Appearance::light, Appearance::dark}) {
        colorScheme.setScheme(appearance == Appearance::dark ? ColorScheme::preferDark
                                                             : ColorScheme::preferLight);
        // A fresh home per pass, so the second pass starts from the same demo as the first.
        QTemporaryDir home;
        qputenv("HOME", home.path().toLocal8Bit());
        Launch launch = Launch::fromProcess();
        launch.arguments = {QStringLiteral("vorn-todo"), QStringLiteral("-demo")};
        launch.useSessionBus = false;
        QString error;
        auto app = openWindowApp(launch, &error);
        if (!app) {
            std::fprintf(stderr, "screenshots: %s\n", qPrintable(error));
            return 1;
        }
        AppModel& model = *app->model;
        app->window->show();
        settle();
        const QString suffix =
            appearance == Appearance::dark ? QStringLiteral("-dark") : QStringLiteral("-light");
        // The whole window, or only `part` of it; `tail` follows the appearance in the name.
        const auto shoot = [&](const QString& name, QWidget* part = nullptr, const QString& tail = {}) {
            settle();
            const QString path = QDir(folder).filePath(name + suffix + tail + QStringLiteral(".png"));
            const QPixmap picture = part ? part->grab() : app->window->grab();
            if (!picture.save(path, "PNG")) {
                std::fprintf(stderr, "screenshots: cannot write %s\n", qPrintable(path));
                ++failures;
                return;
            }
            std::printf("%s\n", qPrintable(path));
        };

        // Today with its first row selected, as it looks after a press of ↓.
        model.setTab(Tab::list(TodoList::today));
        const auto today = model.rows(Source::today, true);
        if (!today.empty())
            model.select(today.front().id());
        shoot(QStringLiteral("today"));
        model.setTab(Tab::list(TodoList::later));
        shoot(QStringLiteral("later"));
        model.setTab(Tab::list(TodoList::doneIsh));
        shoot(QStringLiteral("done-ish"));
        if (const auto groceries = pileTab(model, QStringLiteral("Groceries"))) {
            model.setTab(*groceries);
            shoot(QStringLiteral("pile"));
        }
        model.setTab(Tab::random());
        shoot(QStringLiteral("random"));

        // The settings window (here without a tray, as on the virtual display) and the tray's popup.
        MenuBarSetting menuBar(model.settings());
        SettingsView settings(model, menuBar, TrayIcon::isAvailable());
        settings.show();
        shoot(QStringLiteral("settings"), &settings);
        settings.close();
        MenuBarView popup(model);
        popup.popUp(QRect(900, 0, 24, 24));
        shoot(QStringLiteral("tray-popup"), &popup);
        popup.close();

        // Focus mode on Today: the panel floating, then as an ordinary window (only the pin differs).
        model.setTab(Tab::list(TodoList::today));
        model.setFloats(true);
        model.enterFocusMode();
        if (FocusPanel* panel = app->focus->panel()) {
            shoot(QStringLiteral("focus"), panel);
            model.setFloats(false);
            shoot(QStringLiteral("focus"), panel, QStringLiteral("-notfloating"));
            model.setFloats(true);
        }
        model.exitFocusMode();

        // Four lists with long names, the last one made selected: its name elided, the tabs that still
        // do not fit folded behind the strip's last button.
        Pile* books = model.createPile(QStringLiteral("Books I keep meaning to read"));
        Pile* presents = model.createPile(QStringLiteral("Presents for everyone this year"));
        auto* toolbar = app->window->findChild<QWidget*>(QStringLiteral("toolbar"));
        for (int width : {900, 560}) {
            app->window->resize(width, app->window->height());
            shoot(QStringLiteral("tabstrip-%1").arg(width), toolbar);
        }
        app->window->resize(MainWindow::defaultSize);
        for (Pile* pile : {presents, books}) {
            if (pile)
                model.deletePile(*pile, false);
        }

        model.setTab(Tab::list(TodoList::today));
        QSet<RowID> all;
        for (const ListRow& row : model.rows(Source::today, true))
            all.insert(row.id());
        model.remove(all, std::nullopt);
        QTest::qWait(3500); // the deletion's toast goes by itself
        shoot(QStringLiteral("today-empty"));
    }
    return failures == 0 ? 0 : 1;
}
