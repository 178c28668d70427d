#include "ui/main/TabStrip.h"

#include "model/AppModel.h"
#include "model/Commands.h"
#include "model/KeyNames.h"
#include "pixel/Pixels.h"
#include "pixel/Theme.h"
#include "text/TitleText.h"
#include "ui/components/PixelButton.h"
#include "ui/main/PileNameField.h"
#include "ui/main/StripButtons.h"

#include <QMenu>
#include <QPainter>

#include <algorithm>

namespace vorn {

namespace {
constexpr int kPileLimit = 4;
constexpr int kPadding = 4;
constexpr int kSpacing = 2;
constexpr int kButtonSide = 28; // the new-list and overflow buttons, and the tabs' height
constexpr int kSeparatorWidth = 13;
// A list name elided for room keeps at least this much of itself. A name longer than the longest
// is elided even when there is room, so that one list cannot crowd out the others.
constexpr int kShortestTitle = 56;
constexpr int kLongestTitle = 160;

const PixelGrid& moreDots()
{
    static const PixelGrid grid({
        QStringLiteral("........."),
        QStringLiteral("........."),
        QStringLiteral("........."),
        QStringLiteral("........."),
        QStringLiteral(".#..#..#."),
        QStringLiteral("........."),
        QStringLiteral("........."),
        QStringLiteral("........."),
        QStringLiteral("........."),
    });
    return grid;
}

// A 1 × 16 line in the faint colour, with 6 of air on each side.
class StripSeparator : public QWidget {
public:
    explicit StripSeparator(QWidget* parent) : QWidget(parent) { setFixedSize(kSeparatorWidth, 16); }
    QSize sizeHint() const override { return {kSeparatorWidth, 16}; }

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
    const std::pair<Tab, QString> fixed[] = {
        {Tab::list(TodoList::today), QStringLiteral("Today")},
        {Tab::list(TodoList::later), QStringLiteral("Later")},
        {Tab::list(TodoList::doneIsh), QStringLiteral("Done-ish")},
        {Tab::random(), QStringLiteral("Random")},
    };
    for (const auto& [tab, title] : fixed) {
        m_fixed.push_back({tab, addTab(tab, title)});
    }
    m_separator = new StripSeparator(this);
    m_separator->setObjectName(QStringLiteral("tabSeparator"));

    // The plus asks for a new pile; it turns faint once the pile limit is reached.
    m_newList = new PixelButton(
        Pixels::plus(), Color::vornMuted(), [this] { m_model.requestNewPile(); }, this);
    m_newList->setObjectName(QStringLiteral("newListButton"));
    m_newList->setAccessibleName(QStringLiteral("New list"));

    // The three dots at the strip's end open a menu of the tabs there was no room for.
    m_overflow = new PixelButton(
        moreDots(), Color::vornMuted(),
        [this] {
            QMenu* menu = makeOverflowMenu(this);
            menu->setAttribute(Qt::WA_DeleteOnClose);
            menu->popup(m_overflow->mapToGlobal(QPoint(0, m_overflow->height())));
        },
        this);
    m_overflow->setObjectName(QStringLiteral("tabOverflowButton"));
    m_overflow->setAccessibleName(QStringLiteral("More tabs"));
    m_overflow->setToolTip(QStringLiteral("More tabs"));
    m_overflow->hide();

    connect(&m_model, &AppModel::newPileRequested, this, &TabStrip::openNaming);
    connect(&m_model, &AppModel::changed, this, [this](AppModel::Field field) {
        switch (field) {
        case AppModel::Field::tab:
            refreshSelection();
            break;
        case AppModel::Field::piles:
        // Counts and pile names follow record edits, announced once per turn.
        case AppModel::Field::records:
        // A snoozed thing wakes when the clock passes its time, with no record edited.
        case AppModel::Field::now:
            refresh();
            break;
        default:
            break;
        }
    });
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
        m_pileTabs.push_back({Tab::pile(id), button});
    }
}

void TabStrip::refresh()
{
    rebuildPileTabs();
    for (const Entry& e : m_fixed) {
        const std::optional<TodoList> list = e.tab.todoList();
        if (e.tab.isList() && list != TodoList::doneIsh)
            e.button->setCount(m_model.count(Source::list(*list)));
    }
    for (const Entry& e : m_pileTabs) {
        const RecordId id = *e.tab.pileID();
        if (Pile* pile = m_model.pile(id)) {
            e.button->setTitle(pile->name());
            e.button->setCount(m_model.count(Source::pile(id)));
        }
    }
    const bool atLimit = m_model.piles().size() > 3;
    m_newList->setTint(atLimit ? Color::vornFaint() : Color::vornMuted());
    m_newList->setToolTip(atLimit
                              ? QStringLiteral("That's %1 lists. Bold.").arg(kPileLimit)
                              : QStringLiteral("New list %1").arg(keyName(commandKeys(CommandId::newList))));
    refreshSelection();
}

void TabStrip::refreshSelection()
{
    for (TabButton* button : tabs())
        button->setSelected(false);
    if (TabButton* selected = tabFor(m_model.tab()))
        selected->setSelected(true);
    // Counts, names and the semibold selected title all change widths, and what is folded.
    updateGeometry();
    layoutTabs();
}

namespace {

// The widths a tab takes: whole, and without its title (what is left when the title is capped).
struct TabWidths {
    int whole;
    int bare;
    bool elidable;
    int at(int cap) const { return elidable ? std::min(whole, bare + cap) : whole; }
};

// Only list names elide; the built-in titles are short and the same everywhere.
std::vector<TabWidths> measure(const std::vector<TabButton*>& tabs, size_t firstPile)
{
    std::vector<TabWidths> widths;
    for (size_t i = 0; i < tabs.size(); ++i)
        widths.push_back({tabs[i]->widthFor(std::nullopt), tabs[i]->widthFor(0), i >= firstPile});
    return widths;
}

// The strip's width showing the tabs marked in `shown`, with list names capped at `cap`.
int rowWidth(const std::vector<TabWidths>& tabs, size_t firstPile, const std::vector<bool>& shown, int cap)
{
    int width = kPadding * 2 + kButtonSide; // the new-list button stays whatever else goes
    bool anyBuiltIn = false;
    bool anyFolded = false;
    for (size_t i = 0; i < tabs.size(); ++i) {
        if (!shown[i]) {
            anyFolded = true;
            continue;
        }
        width += tabs[i].at(cap) + kSpacing;
        anyBuiltIn = anyBuiltIn || i < firstPile;
    }
    if (anyBuiltIn)
        width += kSeparatorWidth + kSpacing;
    if (anyFolded)
        width += kSpacing + kButtonSide;
    return width;
}

} // namespace

void TabStrip::layoutTabs()
{
    std::vector<Entry> entries = m_fixed;
    entries.insert(entries.end(), m_pileTabs.begin(), m_pileTabs.end());
    const std::vector<TabButton*> all = tabs();
    const size_t firstPile = m_fixed.size();
    const std::vector<TabWidths> widths = measure(all, firstPile);

    // The last tab folds first; the selected one only when nothing else is left to fold.
    std::vector<size_t> foldOrder;
    for (size_t i = all.size(); i-- > 0;) {
        if (!all[i]->isSelected())
            foldOrder.push_back(i);
    }
    for (size_t i = 0; i < all.size(); ++i) {
        if (all[i]->isSelected())
            foldOrder.push_back(i);
    }

    std::vector<bool> shown(all.size(), true);
    int cap = kLongestTitle;
    for (size_t folded = 0;; ++folded) {
        if (folded > 0)
            shown[foldOrder[folded - 1]] = false;
        // Names give way before tabs do: the widest cap that fits, down to the shortest.
        cap = kLongestTitle;
        while (cap > kShortestTitle && rowWidth(widths, firstPile, shown, cap) > width())
            --cap;
        if (rowWidth(widths, firstPile, shown, cap) <= width() || folded == foldOrder.size())
            break;
    }

    // Geometry before visibility: a child shown without a size of its own would size itself.
    int x = kPadding;
    const auto place = [&](QWidget* item, bool visible) {
        if (visible) {
            const QSize size = item->sizeHint();
            item->setGeometry(x, (height() - size.height()) / 2, size.width(), size.height());
            x += size.width() + kSpacing;
        }
        item->setVisible(visible);
    };
    m_folded.clear();
    bool anyBuiltIn = false;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (i == firstPile)
            place(m_separator, anyBuiltIn);
        if (i >= firstPile)
            entries[i].button->setTitleCap(cap);
        place(entries[i].button, shown[i]);
        anyBuiltIn = anyBuiltIn || (shown[i] && i < firstPile);
        if (!shown[i])
            m_folded.push_back(entries[i].tab);
    }
    if (firstPile == entries.size())
        place(m_separator, anyBuiltIn);
    place(m_newList, true);
    place(m_overflow, !m_folded.empty());
}

QSize TabStrip::sizeHint() const
{
    const std::vector<TabButton*> all = tabs();
    const std::vector<bool> shown(all.size(), true);
    return {rowWidth(measure(all, m_fixed.size()), m_fixed.size(), shown, kLongestTitle), kButtonSide};
}

QSize TabStrip::minimumSizeHint() const
{
    // Everything folded: the overflow button and the new-list button.
    return {kPadding * 2 + kButtonSide * 2 + kSpacing, kButtonSide};
}

void TabStrip::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layoutTabs();
}

std::vector<Tab> TabStrip::foldedTabs() const
{
    return m_folded;
}

QMenu* TabStrip::makeOverflowMenu(QWidget* parent)
{
    auto* menu = new QMenu(parent);
    menu->setObjectName(QStringLiteral("tabOverflowMenu"));
    for (const Tab& tab : m_folded) {
        const TabButton* button = tabFor(tab);
        // A menu reads & as a mnemonic; the count goes where a menu puts a shortcut.
        QString text = menuItemText(button->title());
        if (const auto n = button->shownCount())
            text += QLatin1Char('\t') + QString::number(*n);
        QAction* action = menu->addAction(text);
        connect(action, &QAction::triggered, this, [this, tab] { m_model.setTab(tab); });
    }
    return menu;
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
