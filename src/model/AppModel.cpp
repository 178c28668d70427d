#include "model/AppModel.h"

#include "model/StartupTrace.h"

#include "model/Constants.h"
#include "model/Logging.h"

#include <QDir>

namespace vorn {

// Debug lines are off unless QT_LOGGING_RULES turns them on.
Q_LOGGING_CATEGORY(lcSync, "com.vorn.todo.sync", QtInfoMsg)
Q_LOGGING_CATEGORY(lcStartup, "com.vorn.todo.startup", QtInfoMsg)

AppModel::AppModel(ModelInit init, QObject* parent)
    : QObject(parent), m_store(std::move(init.store)), m_schedule(init.schedule.value_or(Schedule())),
      m_settings(std::move(init.settings)), m_clock(clockOrSystem(init.clock)),
      m_timers(init.timers ? init.timers : std::make_shared<QtTimers>()), m_readOnly(init.readOnly),
      m_windowless(init.windowless), m_intervals(init.intervals),
      m_transfer(std::make_unique<ThingTransfer>(*this, init.pasteboard, init.workspace, init.handoffPath))
{
    Q_ASSERT(m_store && m_settings);
    m_state.now = m_clock->now();
    m_state.floats = m_settings->boolValue(kFocusFloatsKey, true);
    if (!m_readOnly && !init.notesDir.isEmpty() && !QDir().mkpath(init.notesDir))
        qCWarning(lcStartup) << "can't create the notes folder"
                             << init.notesDir; // saving a note says so later

    // The autosave runs on our timers too, so a test that drives them drives it.
    m_store->useTimers(*m_timers);
    // Each thing keeps when it last changed, for a sync's conflicts (a sync of its own process, or after
    // a restart, has not heard the change).
    m_store->useClock([clock = m_clock.get()] { return clock->now(); });
    m_dragReset = m_timers->make(QStringLiteral("drag"), false, [this] { endDrag(); });
    m_toastTimer = m_timers->make(QStringLiteral("toast"), false, [this] { clearToast(); });
    m_clockTimer = m_timers->make(QStringLiteral("clock"), true, [this] { tick(); });
    m_saveRetry =
        std::make_unique<RetryBackoff>(*m_timers, QStringLiteral("save"), m_intervals.saveRetryMSecs,
                                       m_intervals.saveRetryMaxMSecs, [this] { m_store->save(); });
    NoteKeeper::Init notes;
    notes.folder = NoteFolder(init.notesDir);
    notes.pendingPath = m_readOnly ? QString() : init.pendingNotesPath;
    notes.timers = m_timers.get();
    notes.retryMSecs = m_intervals.saveRetryMSecs;
    notes.retryMaxMSecs = m_intervals.saveRetryMaxMSecs;
    notes.toast = [this](const QString& text) { showToast(text); };
    m_notes = std::make_unique<NoteKeeper>(std::move(notes));
    m_notes->landed = [this](const PendingNote& note) { noteLanded(note); };
    FamilySync::Init sync;
    sync.link = std::move(static_cast<FamilyLink&>(init));
    sync.readOnly = m_readOnly;
    sync.notes = m_notes.get();
    sync.debounceMSecs = m_intervals.syncDebounceMSecs;
    sync.retryMSecs = m_intervals.saveRetryMSecs;
    sync.retryMaxMSecs = m_intervals.saveRetryMaxMSecs;
    traceStartup("model: settings, notes folder");
    m_sync = std::make_unique<FamilySync>(std::move(sync), *m_store, m_schedule, *m_clock, *m_settings,
                                          *m_timers, static_cast<SyncHost&>(*this));
    connect(m_sync.get(), &FamilySync::rowsChanged, this, [this] { Q_EMIT changed(Field::familyThings); });
    connect(m_sync.get(), &FamilySync::externalOrderChanged, this,
            [this] { Q_EMIT changed(Field::externalOrder); });
    connect(m_sync.get(), &FamilySync::mirrored, this, &AppModel::mirrored);

    traceStartup("model: family store");
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
    if (!m_readOnly && !m_store->adoptedRescue().isEmpty())
        showToast(QStringLiteral("Found what couldn't be saved last time. It's all back."));

    connect(m_store.get(), &Store::saveFailed, this, [this] { saveFailed(); });
    connect(m_store.get(), &Store::saved, this, [this] { saveSucceeded(); });
    // Screens hear of record changes from the model, like of every other change.
    connect(m_store.get(), &Store::changes, this, &AppModel::recordsChanged);
    connect(&m_store->undoManager(), &UndoManager::didUndo, this, [this] {
        notesFollowRecords();
        refreshPiles();
    });
    connect(&m_store->undoManager(), &UndoManager::didRedo, this, [this] {
        notesFollowRecords();
        refreshPiles();
    });
    connect(&m_store->undoManager(), &UndoManager::stateChanged, this, &AppModel::undoStateChanged);
    // The family file follows the day as well as the records.
    connect(this, &AppModel::changed, m_sync.get(), [this](Field field) {
        if (field == Field::now)
            m_sync->timeMoved(m_state.now);
    });

    traceStartup("model: piles, purge, rollover, clock");
    m_sync->refresh();
    traceStartup("model: family rows read");

    qCDebug(lcSync, "model init done: syncsToFamily=%d familyThings=%ld", int(m_sync->syncsToFamily()),
            long(familyThings().size()));
}

AppModel::~AppModel()
{
    // A note still on its way to its file lands, and its record with it, before the store goes.
    settleNotes();
    // A change made just before quitting still reaches the family.
    m_sync->flush();
    // The store outlives our timers and makes its last save as it goes; that is no news for us any more.
    disconnect(m_store.get(), nullptr, this, nullptr);
}

void AppModel::emitIfChanged(bool changed, Field field)
{
    if (changed)
        Q_EMIT this->changed(field);
}

void AppModel::setTab(const Tab& tab)
{
    if (m_state.tab == tab)
        return;
    m_state.tab = tab;
    // A different list starts with a clean slate: nothing selected, nothing lingering, no drag.
    // All is cleared before anyone hears of it, so an observer never reads the old list's state.
    const bool hadLingering = !m_state.lingering.isEmpty();
    const bool hadLingeringShared = !m_state.lingeringShared.isEmpty();
    const bool hadSelection = !m_state.selection.isEmpty();
    const bool hadAnchor = m_state.selection.anchor().has_value();
    const bool hadDragging = !m_state.dragging.isEmpty();
    m_state.lingering.clear();
    m_state.lingeringShared.clear();
    m_state.selection = Selection();
    m_state.dragging.clear();
    emitIfChanged(hadLingering, Field::lingering);
    emitIfChanged(hadLingeringShared, Field::lingeringShared);
    emitIfChanged(hadSelection, Field::selection);
    emitIfChanged(hadAnchor, Field::selectionAnchor);
    emitIfChanged(hadDragging, Field::dragging);
    Q_EMIT changed(Field::tab);
}

void AppModel::setSearchText(const QString& text)
{
    if (m_state.searchText == text)
        return;
    m_state.searchText = text;
    Q_EMIT changed(Field::searchText);
}

void AppModel::setFloats(bool floats)
{
    if (m_state.floats == floats)
        return;
    m_state.floats = floats;
    if (!m_readOnly)
        m_settings->setValue(kFocusFloatsKey, floats);
    Q_EMIT changed(Field::floats);
}

void AppModel::setExpanded(const Thing& thing, bool expanded)
{
    const bool had = m_state.expanded.contains(thing.id());
    if (had == expanded)
        return;
    if (expanded)
        m_state.expanded.insert(thing.id());
    else
        m_state.expanded.remove(thing.id());
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
