#include "app/AppCommands.h"

#include "app/TextTarget.h"
#include "model/AppModel.h"
#include "ui/components/CommandAction.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>

namespace vorn {

namespace {

bool isPileCommand(CommandId id)
{
    return int(id) >= int(CommandId::tabPile1) && int(id) < int(CommandId::tabPile1) + kPileCommands;
}

} // namespace

AppCommands::AppCommands(AppModel& model, QMenuBar* menuBar, QObject* parent)
    : QObject(parent), m_model(model)
{
    QMenu* menus[] = {nullptr, menuBar->addMenu(tr("&File")), menuBar->addMenu(tr("&Edit")),
                      menuBar->addMenu(tr("&View"))};
    m_view = menus[int(CommandMenu::view)];
    for (const Command& c : commands()) {
        QMenu* menu = menus[int(c.menu)];
        if (!menu)
            continue;
        if (isPileCommand(c.id)) {
            // The pile items come and go with the piles, each in its place before this.
            if (!m_pileAnchor)
                m_pileAnchor = menu->addSeparator();
            continue;
        }
        if (c.separatorBefore && !(c.id == CommandId::floatOnTop && m_pileAnchor))
            menu->addSeparator();
        add(menu, c);
    }
    if (QAction* preferences = action(QStringLiteral("preferences")))
        preferences->setMenuRole(QAction::PreferencesRole);
    if (QAction* quit = action(QStringLiteral("quit")))
        quit->setMenuRole(QAction::QuitRole);
    refreshPileActions();
    connect(&m_model, &AppModel::changed, this, [this](AppModel::Field field) {
        // A rename changes no pile order, only a record: the records change carries it, and an undo's too.
        if (field == AppModel::Field::piles || field == AppModel::Field::records)
            refreshPileActions();
    });
}

void AppCommands::toWindow(CommandId id)
{
    switch (id) {
    case CommandId::preferences:
        Q_EMIT preferencesRequested();
        break;
    case CommandId::importLists:
        Q_EMIT importRequested();
        break;
    case CommandId::exportLists:
        Q_EMIT exportRequested();
        break;
    case CommandId::syncAccount:
        Q_EMIT syncAccountRequested();
        break;
    case CommandId::quit:
        // After the key or the menu is done with: quitting closes the window it came from.
        QMetaObject::invokeMethod(this, &AppCommands::quitRequested, Qt::QueuedConnection);
        break;
    default:
        break;
    }
}

QAction* AppCommands::add(QMenu* menu, const Command& command)
{
    CommandHost host;
    host.toTextField = [](TextCommand text) { return sendToTextField(QApplication::focusWidget(), text); };
    host.toWindow = [this](CommandId id) { toWindow(id); };
    QAction* a = commandAction(command, m_model, std::move(host), menu);
    if (isPileCommand(command.id)) {
        menu->insertAction(m_pileAnchor, a);
    } else {
        menu->addAction(a);
        m_actions.push_back(a);
    }
    for (const Sharing& s : m_sharing) {
        if (s.window && !s.except.contains(a->objectName()))
            s.window->addAction(a);
    }
    return a;
}

QAction* AppCommands::action(const QString& objectName) const
{
    for (QAction* a : actions()) {
        if (a->objectName() == objectName)
            return a;
    }
    return nullptr;
}

QList<QAction*> AppCommands::actions() const
{
    QList<QAction*> all(m_actions.begin(), m_actions.end());
    all.append(QList<QAction*>(m_pileActions.begin(), m_pileActions.end()));
    return all;
}

void AppCommands::shareWith(QWidget* window, const QSet<QString>& except)
{
    m_sharing.push_back({window, except});
    for (QAction* a : actions()) {
        if (!except.contains(a->objectName()))
            window->addAction(a);
    }
}

void AppCommands::refreshPileActions()
{
    const auto& piles = m_model.piles();
    const size_t shown = std::min(piles.size(), size_t(pileShortcuts));
    std::vector<RecordId> ids;
    for (size_t i = 0; i < shown; ++i)
        ids.push_back(piles[i]->id());
    // The same piles in the same order keep their items, which follow renames by themselves.
    if (ids == m_pileActionIds)
        return;
    for (QAction* a : m_pileActions)
        delete a;
    m_pileActions.clear();
    m_pileActionIds = ids;
    for (size_t i = 0; i < shown; ++i)
        m_pileActions.push_back(add(m_view, command(pileCommand(int(i)))));
}

} // namespace vorn
