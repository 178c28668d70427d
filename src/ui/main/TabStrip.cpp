#include "ui/main/TabStrip.h"

#include "model/AppModel.h"
#include "pixel/Theme.h"
#include "store/Store.h"
#include "ui/main/CommandKeys.h"
#include "ui/main/PileNameField.h"
#include "ui/main/StripButtons.h"

#include <QHBoxLayout>
#include <QMenu>
#include <QPainter>

namespace vorn {

namespace {
constexpr int kPileLimit = 4;

// A 1 × 16 line in the faint colour, with 6 of air on each side.
class StripSeparator : public QWidget
{
public:
    explicit StripSeparator(QWidget* parent) : QWidget(parent) { setFixedSize(13, 16); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setOpacity(0.6);
        painter.fillRect(QRect(6, 0, 1, 16), Color::vornFaint().resolved(palette()));
    }
};
} // namespace

TabStrip::TabStrip(AppModel& model, QWidget* parent) : QWidget(parent), m_model(model)
{
    setObjectName(QStringLiteral("tabStrip"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(4, 0, 4, 0);
    row->setSpacing(2);
    row->setAlignment(Qt::AlignVCenter);

    const std::pair<Tab, QString> fixed[] = {
        {Tab::list(TodoList::today), QStringLiteral("Today")},
        {Tab::list(TodoList::later), QStringLiteral("Later")},
        {Tab::list(TodoList::doneIsh), QStringLiteral("Done-ish")},
        {Tab::random(), QStringLiteral("Random")},
    };
    for (const auto& [tab, title] : fixed) {
        TabButton* button = addTab(tab, title);
        m_fixed.push_back({tab, button});
        row->addWidget(button);
    }
    auto* separator = new StripSeparator(this);
    separator->setObjectName(QStringLiteral("tabSeparator"));
    row->addWidget(separator);

    m_pileRow = new QHBoxLayout;
    m_pileRow->setSpacing(2);
    row->addLayout(m_pileRow);

    m_newList = new NewListButton(this);
    m_newList->setObjectName(QStringLiteral("newListButton"));
    row->addWidget(m_newList);
    row->addStretch(1);
    connect(m_newList, &QAbstractButton::clicked, this, [this] { m_model.requestNewPile(); });

    connect(&m_model, &AppModel::changed, this, [this](AppModel::Field field) {
        switch (field) {
        case AppModel::Field::newPileRequest:
            openNaming();
            break;
        case AppModel::Field::tab:
            refreshSelection();
            break;
        case AppModel::Field::piles:
        // A snoozed thing wakes when the clock passes its time, with no record edited.
        case AppModel::Field::now:
            refresh();
            break;
        default:
            break;
        }
    });
    // Counts and pile names follow record edits, which the store reports once per turn.
    connect(&m_model.store(), &Store::changed, this, [this] { refresh(); });
    refresh();
}

TabButton* TabStrip::addTab(const Tab& tab, const QString& title)
{
    auto* button = new TabButton(title, this);
    connect(button, &QAbstractButton::clicked, this, [this, tab] {
        m_model.setTab(tab);
        // A click on the selected tab changes no model field but has toggled the button.
        refreshSelection();
    });
    return button;
}

std::vector<TabButton*> TabStrip::tabs() const
{
    std::vector<TabButton*> all;
    for (const Entry& e : m_fixed)
        all.push_back(e.button);
    for (const Entry& e : m_pileTabs)
        all.push_back(e.button);
    return all;
}

TabButton* TabStrip::tabFor(const Tab& tab) const
{
    for (const auto* entries : {&m_fixed, &m_pileTabs}) {
        for (const Entry& e : *entries) {
            if (e.tab == tab)
                return e.button;
        }
    }
    return nullptr;
}

void TabStrip::rebuildPileTabs()
{
    std::vector<RecordId> ids;
    for (Pile* pile : m_model.piles())
        ids.push_back(pile->id());
    if (ids == m_shownPiles)
        return;
    m_shownPiles = ids;
    // Later: the removal may come from inside the old tab's own menu or click handler.
    for (Entry& e : m_pileTabs) {
        e.button->hide();
        e.button->deleteLater();
    }
    m_pileTabs.clear();
    for (Pile* pile : m_model.piles()) {
        const RecordId id = pile->id();
        TabButton* button = addTab(Tab::pile(id), pile->name());
        button->setObjectName(QStringLiteral("pileTab"));
        button->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(button, &TabButton::doubleClicked, this, [this, id] { startRenaming(id); });
        connect(button, &QWidget::customContextMenuRequested, this, [this, id, button](const QPoint& at) {
            QMenu* menu = makePileMenu(id, this);
            menu->setAttribute(Qt::WA_DeleteOnClose);
            menu->popup(button->mapToGlobal(at));
        });
        m_pileRow->addWidget(button);
        m_pileTabs.push_back({Tab::pile(id), button});
    }
}

void TabStrip::refresh()
{
    rebuildPileTabs();
    const std::vector<Thing*>& things = m_model.allThings();
    for (const Entry& e : m_fixed) {
        const std::optional<TodoList> list = e.tab.todoList();
        if (e.tab.isList() && list != TodoList::doneIsh)
            e.button->setCount(m_model.count(Source::list(*list), things));
    }
    for (const Entry& e : m_pileTabs) {
        const RecordId id = *e.tab.pileID();
        if (Pile* pile = m_model.pile(id)) {
            e.button->setTitle(pile->name());
            e.button->setCount(m_model.count(Source::pile(id), things));
        }
    }
    const bool atLimit = m_model.piles().size() > 3;
    m_newList->setAtLimit(atLimit);
    m_newList->setToolTip(atLimit ? QStringLiteral("That's %1 lists. Bold.").arg(kPileLimit)
                                  : QStringLiteral("New list %1").arg(keyName(newListKeys())));
    refreshSelection();
}

void TabStrip::refreshSelection()
{
    for (TabButton* button : tabs())
        button->setSelected(false);
    if (TabButton* selected = tabFor(m_model.tab()))
        selected->setSelected(true);
}

PileNameField* TabStrip::openPopover(const QString& title, const QString& initial, QWidget* anchor)
{
    auto* field = new PileNameField(title, initial, this);
    field->setWindowFlags(Qt::Popup);
    field->setAttribute(Qt::WA_DeleteOnClose);
    field->adjustSize();
    field->move(anchor->mapToGlobal(QPoint(0, anchor->height())));
    return field;
}

void TabStrip::openNaming()
{
    if (m_naming)
        return;
    m_naming = openPopover(QStringLiteral("New list"), QString(), m_newList);
    PileNameField* field = m_naming;
    connect(field, &PileNameField::done, this, [this, field](const QString& name) {
        m_model.createPile(name);
        field->close();
    });
    connect(field, &PileNameField::dismissed, this, [this, field] {
        if (m_naming == field)
            m_naming = nullptr;
        field->deleteLater();
    });
    field->show();
}

void TabStrip::startRenaming(RecordId id)
{
    Pile* pile = m_model.pile(id);
    TabButton* anchor = tabFor(Tab::pile(id));
    if (!pile || !anchor)
        return;
    if (m_renaming)
        m_renaming->close();
    m_renamingId = id;
    m_renaming = openPopover(QStringLiteral("Rename"), pile->name(), anchor);
    PileNameField* field = m_renaming;
    connect(field, &PileNameField::done, this, [this, field, id](const QString& name) {
        // The pile may have gone while the popover was open (undo, sync).
        if (Pile* p = m_model.pile(id))
            m_model.renamePile(*p, name);
        field->close();
    });
    connect(field, &PileNameField::dismissed, this, [this, field] {
        if (m_renaming == field) {
            m_renaming = nullptr;
            m_renamingId.reset();
        }
        field->deleteLater();
    });
    field->show();
}

QMenu* TabStrip::makePileMenu(RecordId id, QWidget* parent)
{
    auto* menu = new QMenu(parent);
    QAction* rename = menu->addAction(QStringLiteral("Rename\u2026"));
    QAction* remove = menu->addAction(QStringLiteral("Delete\u2026"));
    connect(rename, &QAction::triggered, this, [this, id] { startRenaming(id); });
    connect(remove, &QAction::triggered, this, [this, id] { confirmDelete(id); });
    return menu;
}

void TabStrip::confirmDelete(RecordId id)
{
    Pile* pile = m_model.pile(id);
    if (!pile || m_deleting)
        return;
    m_deleting = id;
    const PileDeletePrompt prompt =
        PileDeletePrompt::forPile(pile->name(), static_cast<int>(pile->things().size()));
    const PileDeleteChoice choice = m_confirmer(prompt, this);
    m_deleting.reset();
    // The dialog spun an event loop; the pile may be gone by now.
    pile = m_model.pile(id);
    if (!pile)
        return;
    if (choice == PileDeleteChoice::moveThingsToLater)
        m_model.deletePile(*pile, true);
    else if (choice == PileDeleteChoice::deleteThingsToo)
        m_model.deletePile(*pile, false);
}

} // namespace vorn
