#pragma once

#include "ui/focus/FocusPanelController.h"

#include <QProcessEnvironment>
#include <QString>

#include <memory>

namespace vorn {

class AppModel;
class MainWindow;
class Store;
struct Launch;

// Whether this process can put up a window: a display to talk to, or a platform chosen explicitly.
bool hasDisplay(const QProcessEnvironment& environment);
// What to do without one.
QString noDisplayAdvice();

// The app as the window start builds it: the model first, the window on top of it.
struct WindowApp {
    std::unique_ptr<AppModel> model;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<FocusPanelController> focus; // last: it goes first, while the model still stands
};

// Puts the main window's menu commands on the focus panel too, once it is made.
void shareCommands(MainWindow& window, FocusPanelController& focus);

// Opens the store (or takes the one `opened` already), makes the model and the main window, lends the
// model its window hooks and opens the demo tab. Null with `error` set when the store can't be opened.
// Needs a QApplication.
std::unique_ptr<WindowApp> openWindowApp(const Launch& launch, QString* error,
                                         std::unique_ptr<Store> opened = nullptr);

// The whole windowed run of the program: display check, hand-over to an app already running, application,
// font, clipboard and desktop services, the window, tray and settings, the event loop, and a last save.
// Quits cleanly on SIGTERM, SIGINT and SIGHUP. `newThing` opens the add row (the desktop's "New Thing").
int runWindowApp(int& argc, char** argv, bool newThing = false);

} // namespace vorn
