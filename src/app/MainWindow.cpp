#include "app/MainWindow.h"

#include "app/AppCommands.h"
#include "model/AppModel.h"
#include "ui/main/MainView.h"

#include <QMenuBar>
#include <QWindow>

#include <utility>

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

void MainWindow::putAway()
{
    if (isVisible() && !isMinimized())
        m_putAwayFrame = QRect(pos(), size());
    hide();
}

void MainWindow::bringForward()
{
    // Shown again without a position of its own, the window manager would place it anew.
    if (m_putAwayFrame && !isVisible()) {
        resize(m_putAwayFrame->size());
        move(m_putAwayFrame->topLeft());
        // Qt skips a move to where it thinks the window already is, and then lets the window manager
        // choose; said to the window itself, the place goes out as the window's own.
        if (QWindow* handle = windowHandle())
            handle->setFramePosition(m_putAwayFrame->topLeft());
    }
    m_putAwayFrame.reset();
    if (std::exchange(m_comeBackMinimized, false)) {
        showMinimized();
        return;
    }
    // An iconified window is still "visible" to Qt, so show() alone would leave it off the screen.
    if (isVisible() && windowHandle() && !windowHandle()->isExposed())
        hide();
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

} // namespace vorn
