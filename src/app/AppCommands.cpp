#include "app/AppCommands.h"

#include "app/TextTarget.h"
#include "model/AppModel.h"
#include "model/KeyNames.h"
#include "ui/main/CommandKeys.h"

#include <QApplication>
#include <QMenu>
#include <QMenuBar>

namespace vorn {

AppCommands::AppCommands(AppModel& model, QMenuBar* menuBar, QObject* parent)
    : QObject(parent), m_model(model)
{
    buildFile(menuBar);
    buildEdit(menuBar);
    buildView(menuBar);
    connect(&m_model, &AppModel::changed, this, [this](AppModel::Field field) {
        // A rename changes no pile order, only a record: the records change carries it, and an undo's too.
        if (field == AppModel::Field::piles || field == AppModel::Field::records)
            refreshPileActions();
        else if (field == AppModel::Field::selection)
            refreshEnabled();
        else if (field == AppModel::Field::isFocusMode || field == AppModel::Field::floats)
            refreshFocusMode();
    });
    connect(&m_model, &AppModel::undoStateChanged, this, &AppCommands::refreshEnabled);
    refreshEnabled();
}

QAction* AppCommands::add(QMenu* menu, const QString& name, const QString& title,
                          const QKeySequence& shortcut)
{
    QAction* a = menu->addAction(title);
    a->setObjectName(name);
    a->setShortcut(shortcut);
    m_actions.push_back(a);
    return a;
}

QAction* AppCommands::action(const QString& objectName) const
{
    for (QAction* a : m_actions) {
        if (a->objectName() == objectName)
            return a;
    }
    for (QAction* a : m_pileActions) {
        if (a->objectName() == objectName)
            return a;
    }
    return nullptr;
}

void AppCommands::buildFile(QMenuBar* bar)
{
    QMenu* file = bar->addMenu(tr("&File"));
    connect(add(file, QStringLiteral("newThing"), tr("New Thing"), newThingKeys()), &QAction::triggered, this,
            [this] { m_model.requestAdd(); });
    connect(add(file, QStringLiteral("newList"), tr("New List"), newListKeys()), &QAction::triggered, this,
            [this] { m_model.requestNewPile(); });
    file->addSeparator();
    connect(add(file, QStringLiteral("importLists"), tr("Import…"), QKeySequence()), &QAction::triggered,
            this, &AppCommands::importRequested);
    connect(add(file, QStringLiteral("exportLists"), tr("Export…"), QKeySequence()), &QAction::triggered,
            this, &AppCommands::exportRequested);
    file->addSeparator();
    QAction* preferences =
        add(file, QStringLiteral("preferences"), tr("Preferences…"), QKeySequence(Qt::CTRL | Qt::Key_Comma));
    preferences->setMenuRole(QAction::PreferencesRole);
    connect(preferences, &QAction::triggered, this, &AppCommands::preferencesRequested);
    file->addSeparator();
    QAction* quit = add(file, QStringLiteral("quit"), tr("Quit vorn todo (eventually)"),
                        QKeySequence(Qt::CTRL | Qt::Key_Q));
    quit->setMenuRole(QAction::QuitRole);
    connect(quit, &QAction::triggered, this, &AppCommands::quitRequested, Qt::QueuedConnection);
}

void AppCommands::buildEdit(QMenuBar* bar)
{
    QMenu* edit = bar->addMenu(tr("&Edit"));
    const auto focus = [] { return QApplication::focusWidget(); };
    connect(add(edit, QStringLiteral("undo"), tr("Undo"), undoKeys()), &QAction::triggered, this,
            [this, focus] {
                if (!sendToTextField(focus(), TextCommand::undo))
                    m_model.undo();
            });
    connect(add(edit, QStringLiteral("redo"), tr("Redo"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)),
            &QAction::triggered, this, [this, focus] {
                if (!sendToTextField(focus(), TextCommand::redo))
                    m_model.redo();
            });
    edit->addSeparator();
    const auto selected = [this] { return m_model.selectedIDs(m_model.source(), true); };
    connect(add(edit, QStringLiteral("cut"), tr("Cut"), QKeySequence::Cut), &QAction::triggered, this,
            [this, focus, selected] {
                if (!sendToTextField(focus(), TextCommand::cut))
                    m_model.transfer().cut(selected(), std::nullopt);
            });
    connect(add(edit, QStringLiteral("copy"), tr("Copy"), QKeySequence::Copy), &QAction::triggered, this,
            [this, focus, selected] {
                if (!sendToTextField(focus(), TextCommand::copy))
                    m_model.transfer().copy(selected());
            });
    connect(add(edit, QStringLiteral("paste"), tr("Paste"), QKeySequence::Paste), &QAction::triggered, this,
            [this, focus] {
                if (!sendToTextField(focus(), TextCommand::paste))
                    m_model.transfer().paste();
            });
    // Outside a text field there is nothing to select all of: the rows are chosen one by one.
    connect(add(edit, QStringLiteral("selectAll"), tr("Select All"), QKeySequence::SelectAll),
            &QAction::triggered, this, [focus] { sendToTextField(focus(), TextCommand::selectAll); });
    edit->addSeparator();
    connect(add(edit, QStringLiteral("sendToPlanner"), tr("Send to Vorn Planner"),
                QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P)),
            &QAction::triggered, this,
            [this, selected] { m_model.transfer().sendToPlanner(selected(), std::nullopt); });
}

void AppCommands::buildView(QMenuBar* bar)
{
    m_view = bar->addMenu(tr("&View"));
    m_focusMode =
        add(m_view, QStringLiteral("focusMode"), QString(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F));
    connect(m_focusMode, &QAction::triggered, this, [this] {
        if (m_model.isFocusMode())
            m_model.exitFocusMode();
        else
            m_model.enterFocusMode();
    });
    m_view->addSeparator();
    const struct {
        const char* name;
        const char* title;
        Tab tab;
    } fixed[] = {
        {"tabToday", "Today", Tab::list(TodoList::today)},
        {"tabLater", "Later", Tab::list(TodoList::later)},
        {"tabDoneIsh", "Done-ish", Tab::list(TodoList::doneIsh)},
        {"tabRandom", "Random", Tab::random()},
    };
    int key = Qt::Key_1;
    for (const auto& f : fixed) {
        QAction* a =
            add(m_view, QString::fromLatin1(f.name), tr(f.title), QKeySequence(Qt::CTRL | Qt::Key(key++)));
        connect(a, &QAction::triggered, this, [this, tab = f.tab] { m_model.setTab(tab); });
    }
    m_pileAnchor = m_view->addSeparator();
    refreshPileActions();
    // New List stays in the File menu, beside New Thing, where a Linux user looks for "new".
    m_floatOnTop = add(m_view, QStringLiteral("floatOnTop"), tr("Float on Top"),
                       QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_T));
    m_floatOnTop->setCheckable(true);
    connect(m_floatOnTop, &QAction::toggled, this, [this](bool on) { m_model.setFloats(on); });
    refreshFocusMode();
}

void AppCommands::refreshFocusMode()
{
    m_focusMode->setText(m_model.isFocusMode() ? tr("Leave Focus Mode") : tr("Focus Mode"));
    m_floatOnTop->setChecked(m_model.floats());
}

void AppCommands::refreshPileActions()
{
    const auto& piles = m_model.piles();
    const size_t shown = std::min(piles.size(), size_t(pileShortcuts));
    std::vector<RecordId> ids;
    for (size_t i = 0; i < shown; ++i)
        ids.push_back(piles[i]->id());
    if (ids == m_pileActionIds) {
        for (size_t i = 0; i < shown; ++i)
            m_pileActions[i]->setText(piles[i]->name());
        return;
    }
    for (QAction* a : m_pileActions)
        delete a;
    m_pileActions.clear();
    m_pileActionIds = ids;
    for (size_t i = 0; i < shown; ++i) {
        auto* a = new QAction(piles[i]->name(), m_view);
        a->setObjectName(QStringLiteral("tabPile%1").arg(i + 1));
        a->setShortcut(QKeySequence(Qt::CTRL | Qt::Key(Qt::Key_5 + int(i))));
        connect(a, &QAction::triggered, this, [this, id = piles[i]->id()] { m_model.setTab(Tab::pile(id)); });
        m_view->insertAction(m_pileAnchor, a);
        m_pileActions.push_back(a);
    }
}

void AppCommands::refreshEnabled()
{
    if (QAction* send = action(QStringLiteral("sendToPlanner")))
        send->setEnabled(!m_model.selection().isEmpty());
}

} // namespace vorn
