#pragma once

#include "family/FamilyNotifier.h"
#include "family/FamilyStore.h"
#include "family/NoteFiles.h"
#include "family/SharedThing.h"
#include "model/Clock.h"
#include "model/Entities.h"
#include "model/RandomPick.h"
#include "model/Schedule.h"
#include "model/Selection.h"
#include "model/Settings.h"
#include "model/Timers.h"
#include "model/sync/FamilySync.h"
#include "store/Store.h"
#include "transfer/TransferThing.h"

#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <variant>
#include <vector>

namespace vorn {

class Pasteboard;
class PlannerWorkspace;

// The one model every screen reads and every command goes through. It owns the object store, the
// settings store and the family sync for the life of the process, and keeps the state the screens
// observe; the sync, the selection, the random pick and the notes folder do their part of the work.
class AppModel : public QObject, private SyncHost {
    Q_OBJECT

public:
    // Observable fields; `changed` names the one that changed. Writing an equal value notifies nobody.
    enum class Field {
        tab,
        selection,
        selectionAnchor,
        dragging,
        lingering,
        lingeringShared,
        searchText,
        rolledOver,
        toast,
        now,
        piles,
        randomPick,
        expanded,
        addStepRequest,
        editingNote,
        isFocusMode,
        floats,
        externalOrder,
        familyThings,
        records, // things, steps or piles were inserted, deleted or changed (once per event-loop turn)
    };

    struct Init {
        std::unique_ptr<Store> store;
        std::unique_ptr<Settings> settings;
        std::unique_ptr<FamilyStore> familyStore; // absent: the app runs without the family
        std::unique_ptr<FamilyNotifier> notifier; // absent: changes are seen at the next start
        bool syncsToFamily = true;                // off: the family file is never read or written
        std::shared_ptr<const Clock> clock;       // the system clock when absent
        std::shared_ptr<Timers> timers;           // Qt's timers when absent
        std::optional<Schedule> schedule;         // the user's calendar when absent
        QString notesDir; // where note files live; none: notes keep their plain text only
        ModelIntervals intervals;
        // The general pasteboard and the desktop's planner services, lent by the shell; without them
        // copy, cut, paste and sending to the planner do nothing.
        Pasteboard* pasteboard = nullptr;
        PlannerWorkspace* workspace = nullptr;
        QString handoffPath; // the planner hand-off file; the runtime folder's when empty
        // Look, don't touch: no settings writes, no folders made, no rollover, no clock, no sync.
        bool readOnly = false;
    };

    explicit AppModel(Init init, QObject* parent = nullptr);
    ~AppModel() override;

    // ---- Fields ----
    Store& store() const { return *m_store; }
    const Schedule& schedule() const { return m_schedule; }
    Settings& settings() const { return *m_settings; }
    const Clock& clock() const { return *m_clock; }
    bool syncsToFamily() const { return m_sync->isOn(); }
    FamilyStore* familyStore() const { return m_sync->familyStore(); }
    FamilyNotifier* notifier() const { return m_sync->notifier(); }
    bool isReadOnly() const { return m_readOnly; }

    const Tab& tab() const { return m_tab; }
    void setTab(const Tab& tab);
    const QSet<RowID>& selection() const { return m_selection.ids(); }
    const std::optional<RowID>& selectionAnchor() const { return m_selection.anchor(); }
    const QSet<RowID>& dragging() const { return m_dragging; }
    const QSet<RecordId>& lingering() const { return m_lingering; }
    const QSet<QString>& lingeringShared() const { return m_lingeringShared; }
    const QString& searchText() const { return m_searchText; }
    void setSearchText(const QString& text);
    int rolledOver() const { return m_rolledOver; }
    const std::optional<QString>& toast() const { return m_toast; }
    const QDateTime& now() const { return m_now; }
    const std::vector<Pile*>& piles() const { return m_piles; }
    const std::optional<RecordId>& randomPick() const { return m_randomPick.current(); }
    const QSet<RecordId>& expanded() const { return m_expanded; }
    const std::optional<StepRequest>& addStepRequest() const { return m_addStepRequest; }
    const std::optional<NoteTarget>& editingNote() const { return m_editingNote; }
    const QString& notesDir() const { return m_notes.path(); }
    bool isFocusMode() const { return m_isFocusMode; }
    bool floats() const { return m_floats; }
    void setFloats(bool floats);
    const QHash<QString, double>& externalOrder() const { return m_sync->externalOrder(); }
    bool syncPending() const { return m_sync->isPending(); }
    bool ownChangePending() const { return m_sync->ownChangePending(); }

    // ---- Day text ----
    QString todayISO() const;
    std::optional<QDateTime> isoDay(const QString& text) const;

    // ---- Rows ----
    std::optional<Source> source() const { return m_tab.source(); }
    Source source(const Thing& thing) const;
    const std::vector<Thing*>& allThings() const { return m_store->thingsBySortKey(); }
    std::vector<Thing*> visibleThings(const Source& source) const;
    std::vector<ListRow> rows(const Source& source, bool includeFamily) const;
    double orderKey(const ListRow& row) const;
    int count(const Source& source) const;
    std::optional<QString> meta(const Thing& thing, const Source& source) const;
    QString title(const Source& source) const;
    // The things named by the set (shared rows skipped), in no particular order.
    std::vector<Thing*> things(const QSet<RowID>& ids) const;

    // ---- Family rows ----
    const std::vector<SharedThing>& familyThings() const { return m_sync->rows(); }
    void replaceFamilyThings(std::vector<SharedThing> rows);
    // Family rows planned for today: open ones, and done ones still lingering; in family order.
    std::vector<SharedThing> todayFromOthers() const;
    std::vector<SharedThing> sharedThings(const QSet<RowID>& ids) const;
    std::optional<SharedThing> sharedThing(const QString& id) const;

    // ---- Piles ----
    Pile* pile(RecordId id) const;
    void refreshPiles();

    // ---- Selection ----
    void select(const std::optional<RowID>& id);
    // A click on a row; Ctrl adds or takes away, Shift selects a range from the anchor.
    void click(const RowID& id, Qt::KeyboardModifiers modifiers, const Source& source, bool includeFamily);
    // The selected rows the list shows; the current source when none is given.
    QSet<RowID> selectedIDs(const std::optional<Source>& source, bool includeFamily) const;
    std::optional<RowID> primarySelection() const { return m_selection.primary(); }
    // Moves the selection to a neighbour when selected rows leave the list.
    void selectAfterRemoving(const QSet<RowID>& removed, const std::optional<std::vector<RowID>>& order);
    void pruneSelection();

    // ---- Ordering ----
    double nextSortKey(const Source& source) const;
    bool canReorder(const Source& source) const;
    QString beginDrag(const RowID& id);
    bool drop(int before, const Source& source);
    void applyOrder(const std::vector<ListRow>& rows);

    // ---- Operations ----
    void add(const QString& title, const Source& source);
    void toggleDone(Thing& thing);
    void setDone(const QSet<RowID>& ids, bool done);
    bool allDone(const QSet<RowID>& ids) const;
    void snooze(const QSet<RowID>& ids, SnoozeOption option, const std::optional<std::vector<RowID>>& order);
    void moveToToday(const QSet<RowID>& ids, const std::optional<std::vector<RowID>>& order);
    void rename(Thing& thing, const QString& title);
    void remove(const QSet<RowID>& ids, const std::optional<std::vector<RowID>>& order); // "delete"
    void setExpanded(const Thing& thing, bool expanded);
    void requestAddStep(const Thing& thing);
    // A step at the end of the thing's steps; none for a blank title.
    Step* addStep(Thing& thing, const QString& title);
    void removeStep(Step& step);
    void toggleStep(Step& step);
    void renameStep(Step& step, const QString& title);
    void requestNewPile();
    Pile* createPile(const QString& name);
    void renamePile(Pile& pile, const QString& name);
    void deletePile(Pile& pile, bool keepingThings);
    void leavePile(Thing& thing);
    struct NoteContent {
        std::optional<QByteArray> rtf;
        QString plain;
    };
    NoteContent noteContent(RecordId thing) const;
    void saveNote(RecordId thing, const std::optional<QByteArray>& rtf, const QString& plain);
    void showToast(const QString& text);
    void setEditingNote(const std::optional<NoteTarget>& target);
    void requestAdd();

    // ---- Rollover, clock and clean-up ----
    void rollOverIfNeeded();
    void purgeOldDoneIsh();
    void startClock();
    // One beat of the clock: moves `now` on and, on a new day, rolls over and purges.
    void tick();
    // What the shell lends reopen(): showing the focus panel, raising the main window while it exists
    // (false once it is gone) and opening a new one. Any of them may be missing.
    struct WindowHooks {
        std::function<void()> showFocusPanel;
        std::function<bool()> raiseMainWindow;
        std::function<void()> openMainWindow;
    };
    void setWindowHooks(WindowHooks hooks) { m_windowHooks = std::move(hooks); }
    // Brings the app's window forward when the app is re-activated; false when there was nothing to show.
    bool reopen();

    // ---- Random pick ----
    Thing* currentPick() const;
    void reroll();
    void acceptPick(Thing& thing);

    // ---- Sync ----
    // Asks for the local things to be mirrored to the family store soon (debounced).
    void scheduleSync();
    // Mirrors now instead of after the debounce, when a mirror is pending (quitting, tests, benchmarks).
    void flushSync();
    // Reads the family store: the planner's rows for Today, and its edits and deletions of our things.
    void refreshFromFamily();
    // A change broadcast arrived: our own echo is skipped, anything else is read.
    void familyDidChange();
    // The family row our thing becomes; a mirror passes one day and one time for all its rows.
    SharedThing sharedRow(const Thing& thing, const QString& today, double updatedAt) const override;
    void toggleExternal(const SharedThing& row);
    void renameExternal(const SharedThing& row, const QString& title);
    void saveSharedNote(const QString& id, const std::optional<QByteArray>& rtf, const QString& plain);

    // ---- Transfer ----
    Pasteboard* pasteboard() const { return m_pasteboard; }
    PlannerWorkspace* workspace() const { return m_workspace; }
    bool plannerIsInstalled() const;
    // The transfer record of a thing, with its note file's RTF when that can be read.
    TransferThing transferThing(const Thing& thing) const;
    void copy(const QSet<RowID>& ids);
    void cut(const QSet<RowID>& ids, const std::optional<std::vector<RowID>>& order);
    void sendToPlanner(const QSet<RowID>& ids, const std::optional<std::vector<RowID>>& order);
    void paste();
    // Makes things from records in a list, 1 ms apart in their order; returns how many it made.
    int insert(const std::vector<TransferThing>& records, const Source& into, const QDateTime& now);

Q_SIGNALS:
    void changed(vorn::AppModel::Field field);
    // The new-thing command: the list on screen opens its add row.
    void addRequested();
    // The new-list command, below the limit: the tab strip asks for the name.
    void newPileRequested();
    // The local things were just mirrored into the family store.
    void mirrored();

private:
    void emitIfChanged(bool changed, Field field);
    void clearToast();
    // Whether the clock moving on from `since` to now took a snoozed thing out of Later.
    bool anyThingWoke(const QDateTime& since) const;
    // What the sync engine asks of the model.
    bool isInToday(const Thing& thing) const override;
    void moveToEndOfToday(Thing& thing) override;
    void setLingering(const Thing& thing, bool lingering) override;
    void forget(const Thing& thing) override;
    void familyRowsRead() override;
    void setSelection(Selection selection);
    void endDrag();
    std::vector<RowID> rowOrder(const Source& source, bool includeFamily) const;
    // What decides whether a thing shows in a list, worked out once per pass over the things.
    struct Visibility {
        bool lingerHere = false;
        QString needle; // the folded search text; empty when not searching
    };
    Visibility visibility(const Source& source) const;
    bool isVisible(const Thing& thing, const Source& source, const Visibility& v) const;
    bool isTodayFamilyRow(const SharedThing& row, const QString& today) const;
    // The things named by the set, in the order the current list shows them, then by sortKey.
    std::vector<Thing*> thingsInListOrder(const QSet<RowID>& ids) const;
    // The things left through the clipboard or to the planner: gone here, selection moved on.
    void removeHandedOff(const std::vector<Thing*>& list, const QSet<RowID>& ids,
                         const std::optional<std::vector<RowID>>& order);
    std::vector<TransferThing> transferThings(const std::vector<Thing*>& things) const;

    std::unique_ptr<Store> m_store;
    Schedule m_schedule;
    std::unique_ptr<Settings> m_settings;
    std::shared_ptr<const Clock> m_clock;
    std::shared_ptr<Timers> m_timers;
    bool m_readOnly = false;

    Tab m_tab = Tab::list(TodoList::today);
    Selection m_selection;
    QSet<RowID> m_dragging;
    QSet<RecordId> m_lingering;
    QSet<QString> m_lingeringShared;
    QString m_searchText;
    int m_rolledOver = 0;
    std::optional<QString> m_toast;
    QDateTime m_now;
    std::vector<Pile*> m_piles;
    RandomPick m_randomPick;
    QSet<RecordId> m_expanded;
    std::optional<StepRequest> m_addStepRequest;
    std::optional<NoteTarget> m_editingNote;
    NoteFolder m_notes;
    bool m_isFocusMode = false;
    bool m_floats = true;
    ModelIntervals m_intervals;
    std::unique_ptr<Timer> m_dragReset;
    std::unique_ptr<Timer> m_toastTimer;
    std::unique_ptr<Timer> m_clockTimer;
    WindowHooks m_windowHooks;
    Pasteboard* m_pasteboard = nullptr;
    PlannerWorkspace* m_workspace = nullptr;
    QString m_handoffPath;
    // Last, so it goes first: its last mirror still reads the things and asks the model about them.
    std::unique_ptr<FamilySync> m_sync;
};

} // namespace vorn
