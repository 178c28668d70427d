#include "app/MainWindow.h"

#include "app/AppCommands.h"
#include "model/AppModel.h"
#include "ui/main/MainView.h"

#include <QMenuBar>
#include <QWindow>

namespace vorn {

MainWindow::MainWindow(AppModel& model, QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("main"));
    setWindowTitle(QStringLiteral("vorn todo"));
    m_view = new MainView(model, this);
    setCentralWidget(m_view);
    m_commands = new AppCommands(model, menuBar(), this);
    resize(defaultSize);
    // The window goes no smaller than its content allows.
    setMinimumSize(minimumSizeHint());
    m_view->setWindowVisible([this] { return isVisible(); });
}

void MainWindow::bringForward()
{
    // An iconified window is still "visible" to Qt, so show() alone would leave it off the screen.
    if (isVisible() && windowHandle() && !windowHandle()->isExposed())
        hide();
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

} // namespace vorn
