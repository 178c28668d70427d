#include "model/AppModel.h"

#include "model/Constants.h"
#include "model/Logging.h"

#include <QDir>

namespace vorn {

// Debug lines are off unless QT_LOGGING_RULES turns them on.
Q_LOGGING_CATEGORY(lcSync, "com.vorn.todo.sync", QtInfoMsg)
Q_LOGGING_CATEGORY(lcStartup, "com.vorn.todo.startup", QtInfoMsg)

AppModel::AppModel(Init init, QObject* parent)
    : QObject(parent), m_store(std::move(init.store)), m_schedule(init.schedule.value_or(Schedule())),
      m_defaults(std::move(init.defaults)),
      m_clock(init.clock ? init.clock : std::make_shared<SystemClock>()),
      m_familyStore(std::move(init.familyStore)), m_notifier(std::move(init.notifier)),
      m_readOnly(init.readOnly), m_intervals(init.intervals), m_pasteboard(init.pasteboard),
      m_workspace(init.workspace), m_handoffPath(init.handoffPath)
{
    Q_ASSERT(m_store && m_defaults);
    const bool demo = init.arguments.contains(kDemoArgument);
    const bool harness = init.environment.contains(kTestHarnessVariable);
    m_syncsToFamily = init.syncsToFamily.value_or(!(demo || harness));
    m_now = m_clock->now();

    m_floats = m_defaults->boolValue(kFocusFloatsKey, true);
    const QVariantMap order = m_defaults->mapValue(kOrderOtherAppsKey);
    for (auto it = order.cbegin(); it != order.cend(); ++it) {
        if (auto n = Settings::number(it.value()))
            m_externalOrder.insert(it.key(), *n);
    }

    const QString fromEnvironment = init.environment.value(kNotesDirVariable);
    m_notesDir = fromEnvironment.isEmpty() ? init.defaultNotesDir : fromEnvironment;
    if (!m_readOnly && !m_notesDir.isEmpty() && !QDir().mkpath(m_notesDir))
        qCWarning(lcStartup) << "can't create the notes folder"
                             << m_notesDir; // saving a note reports it later

    {
        // Start-up housekeeping is not something the user can undo.
        UndoRegistrationPause pause(m_store->undoManager());
        refreshPiles();
        purgeOldDoneIsh();
        if (!m_readOnly)
            rollOverIfNeeded();
    }

    if (!m_readOnly)
        startClock();

    // Screens hear of record changes from the model, like of every other change.
    connect(m_store.get(), &Store::changed, this, [this] { Q_EMIT changed(Field::records); });
    connect(&m_store->undoManager(), &UndoManager::didUndo, this, [this] {
        refreshPiles();
        scheduleSync();
    });
    connect(&m_store->undoManager(), &UndoManager::didRedo, this, [this] {
        refreshPiles();
        scheduleSync();
    });

    if (m_notifier)
        m_notifier->setOnChanged([this] { familyDidChange(); });
    if (!m_readOnly)
        scheduleSync();
    refreshFromFamily();

    qCDebug(lcSync, "model init done: syncsToFamily=%d familyThings=%ld", int(m_syncsToFamily),
            long(m_familyThings.size()));
}

AppModel::~AppModel()
{
    // A change made just before quitting still reaches the family.
    flushSync();
}

void AppModel::emitIfChanged(bool changed, Field field)
{
    if (changed)
        Q_EMIT this->changed(field);
}

void AppModel::setTab(const Tab& tab)
{
    if (m_tab == tab)
        return;
    m_tab = tab;
    // A different list starts with a clean slate: nothing selected, nothing lingering, no drag.
    // All is cleared before anyone hears of it, so an observer never reads the old list's state.
    const bool hadLingering = !m_lingering.isEmpty();
    const bool hadLingeringShared = !m_lingeringShared.isEmpty();
    const bool hadSelection = !m_selection.isEmpty();
    const bool hadAnchor = m_selectionAnchor.has_value();
    const bool hadDragging = !m_dragging.isEmpty();
    m_lingering.clear();
    m_lingeringShared.clear();
    m_selection.clear();
    m_selectionAnchor.reset();
    m_dragging.clear();
    emitIfChanged(hadLingering, Field::lingering);
    emitIfChanged(hadLingeringShared, Field::lingeringShared);
    emitIfChanged(hadSelection, Field::selection);
    emitIfChanged(hadAnchor, Field::selectionAnchor);
    emitIfChanged(hadDragging, Field::dragging);
    Q_EMIT changed(Field::tab);
}

void AppModel::setSearchText(const QString& text)
{
    if (m_searchText == text)
        return;
    m_searchText = text;
    Q_EMIT changed(Field::searchText);
}

void AppModel::setFloats(bool floats)
{
    if (m_floats == floats)
        return;
    m_floats = floats;
    if (!m_readOnly)
        m_defaults->setValue(kFocusFloatsKey, floats);
    Q_EMIT changed(Field::floats);
}

void AppModel::setExpanded(const Thing& thing, bool expanded)
{
    const bool had = m_expanded.contains(thing.id());
    if (had == expanded)
        return;
    if (expanded)
        m_expanded.insert(thing.id());
    else
        m_expanded.remove(thing.id());
    Q_EMIT changed(Field::expanded);
}

QString AppModel::todayISO() const
{
    return m_schedule.dayText(m_clock->now());
}

std::optional<QDateTime> AppModel::isoDay(const QString& text) const
{
    return m_schedule.isoDay(text);
}

} // namespace vorn
