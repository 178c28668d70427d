#include "app/AppShell.h"

#include "app/AppCommands.h"
#include "app/CalendarSyncRunner.h"
#include "app/ExchangeCommand.h"
#include "app/MainWindow.h"
#include "app/MenuBarSetting.h"
#include "app/SettingsView.h"
#include "app/SyncAccountDialog.h"
#include "app/TrayIcon.h"
#include "model/AppModel.h"
#include "model/ModelCalendar.h"
#include "model/ModelExchange.h"
#include "ui/focus/FocusPanelController.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace vorn {

namespace {

// A message over the window that does not hold up the app (nor a test) while it is read.
void tell(QWidget& window, QMessageBox::Icon icon, const QString& text)
{
    auto* box = new QMessageBox(icon, QStringLiteral("Import"), text, QMessageBox::Ok, &window);
    box->setObjectName(QStringLiteral("importMessage"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

} // namespace

AppShell::AppShell(AppModel& model, MainWindow& window, QObject* parent)
    : QObject(parent), m_model(model), m_window(window),
      m_menuBar(new MenuBarSetting(model.settings(), this)), m_tray(new TrayIcon(model, this))
{
    connect(window.commands(), &AppCommands::preferencesRequested, this, &AppShell::showSettings);
    connect(window.commands(), &AppCommands::exportRequested, this, &AppShell::chooseExport);
    connect(window.commands(), &AppCommands::importRequested, this, &AppShell::chooseImport);
    connect(window.commands(), &AppCommands::syncAccountRequested, this, &AppShell::showSyncAccount);
    connect(m_menuBar, &MenuBarSetting::changed, m_tray, &TrayIcon::setWanted);
    connect(m_tray, &TrayIcon::shownChanged, this, &AppShell::followTray);
    connect(m_tray, &TrayIcon::openRequested, this, &AppShell::reopen);
    connect(window.commands(), &AppCommands::quitRequested, this, &AppShell::quit);
    connect(m_tray, &TrayIcon::quitRequested, this, &AppShell::quit, Qt::QueuedConnection);
    m_tray->setWanted(m_menuBar->isOn());
    followTray(m_tray->isShown());
}

AppShell::~AppShell()
{
    delete m_settings;
}

SettingsView* AppShell::showSettings()
{
    if (!m_settings) {
        m_settings = new SettingsView(m_model, *m_menuBar, m_tray->isAvailable());
        connect(m_tray, &TrayIcon::availableChanged, m_settings, &SettingsView::setTrayAvailable);
        if (m_sync) {
            m_settings->setCalendarSync(*m_sync);
            connect(m_settings, &SettingsView::syncAccountRequested, this, &AppShell::showSyncAccount);
        }
    }
    m_settings->show();
    m_settings->raise();
    m_settings->activateWindow();
    return m_settings;
}

SyncAccountDialog* AppShell::showSyncAccount()
{
    if (!m_syncAccount) {
        m_syncAccount =
            new SyncAccountDialog(m_model.settings(), m_sync ? &m_sync->secrets() : nullptr, &m_window);
        if (m_sync) {
            connect(m_syncAccount, &SyncAccountDialog::answered, this, [this](bool connected) {
                if (connected)
                    m_sync->accountSetUp();
            });
            m_syncAccount->setStopper([this](auto done) { m_sync->stopSyncing(std::move(done)); });
        }
    }
    m_syncAccount->show();
    m_syncAccount->raise();
    m_syncAccount->activateWindow();
    return m_syncAccount;
}

void AppShell::quit()
{
    if (readyToQuit(m_model, &m_window, m_confirmQuit))
        QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
}

void AppShell::reopen()
{
    // The model's window hooks raise and activate what it shows.
    m_model.reopen();
}

void AppShell::chooseExport()
{
    const QString path = QFileDialog::getSaveFileName(
        &m_window, tr("Export Everything"), QDir::home().filePath(QStringLiteral("vorn-todo.md")),
        tr("Markdown (*.md);;iCalendar (*.ics);;All files (*)"));
    if (!path.isEmpty())
        exportTo(path);
}

void AppShell::chooseImport()
{
    const QString path =
        QFileDialog::getOpenFileName(&m_window, tr("Import Things"), QDir::homePath(),
                                     tr("Lists (*.md *.markdown *.txt *.ics);;All files (*)"));
    if (!path.isEmpty())
        importFrom(path);
}

bool AppShell::exportTo(const QString& path)
{
    QString error;
    const bool written = isCalendarFile(path) ? writeExportBytes(path, exportCalendar(m_model), &error)
                                              : writeExportFile(path, exportMarkdown(m_model), &error);
    if (!written) {
        m_model.showToast(QStringLiteral("Couldn't export. ") + error);
        return false;
    }
    m_model.showToast(QStringLiteral("Exported everything to ") + QFileInfo(path).fileName() + u'.');
    return true;
}

void AppShell::importFrom(const QString& path)
{
    const ImportFile file = readImportFile(path);
    if (!file.text) {
        tell(m_window, QMessageBox::Warning, file.error);
        return;
    }
    const ImportOutcome outcome = isCalendarFile(path)
                                      ? importCalendar(m_model, ical::readCalendar(file.content.toUtf8()))
                                      : importLists(m_model, *file.text);
    m_model.showToast(importToast(outcome));
    if (!outcome.problems.empty())
        tell(m_window, QMessageBox::Information, describeImport(outcome));
}

void AppShell::setFocusPanel(FocusPanelController& focus)
{
    m_focus = &focus;
    connect(&focus, &FocusPanelController::closedWithoutWayBack, this, [this] {
        m_window.comeBackMinimized();
        m_model.exitFocusMode();
    });
    focus.setHidingLeavesAWayBack(m_tray->isShown());
}

void AppShell::setCalendarSync(CalendarSyncRunner* sync)
{
    m_sync = sync;
    m_tray->setCalendarSync(sync);
}

void AppShell::followTray(bool shown)
{
    if (m_focus)
        m_focus->setHidingLeavesAWayBack(shown);
    // Only an icon the user can click brings the app back; without one a closed window must end it.
    QApplication::setQuitOnLastWindowClosed(!shown);
}

} // namespace vorn
