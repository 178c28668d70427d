#include "app/MainWindow.h"

#include "app/AppCommands.h"
#include "model/AppModel.h"
#include "ui/main/MainView.h"

#include <QMenuBar>

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

} // namespace vorn
