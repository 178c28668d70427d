#pragma once

#include "family/SharedThing.h"
#include "model/Entities.h"
#include "model/ModelInit.h"
#include "model/ModelState.h"
#include "model/NoteKeeper.h"
#include "model/RetryBackoff.h"
#include "model/ThingTransfer.h"
#include "model/sync/FamilySync.h"

#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace vorn {

class StoreChanges;

// The one model every screen reads and every command goes through. It keeps the state the screens observe
// (ModelState) and owns, for the life of the process, the collaborators that do their part of the work:
//   Store (the records and their undo), Settings, FamilySync (mirror to and adopt from the planner's
//   family file), ThingTransfer (copy, cut, paste, send to the planner), Selection (which rows, and how
//   clicks and removals move it), ListFilter (which things a list shows), RandomPick, NoteFolder (the
//   note files), and Clock/Timers/Schedule (time, beats, and the user's calendar days).
class AppModel : public QObject, private SyncHost {
    Q_OBJECT

public:
    // Observable fields; `changed` names the one that changed. Writing an equal value notifies nobody.
    // `records`: things, steps or piles were inserted, deleted or changed (once per event-loop turn).
    // clang-format off
    enum class Field { tab, selection, selectionAnchor, dragging, lingering, lingeringShared, searchText,
                       rolledOver, toast, now, piles, randomPick, expanded, addStepRequest, editingNote,
                       isFocusMode, floats, externalOrder, familyThings, records };
    // clang-format on
    explicit AppModel(ModelInit init, QObject* parent = nullptr);
    ~AppModel() override;
    // ---- Fields ----
    Store& store() const { return *m_store; }
    const Schedule& schedule() const { return m_schedule; }
    Settings& settings() const { return *m_settings; }
    const Clock& clock() const { return *m_clock; }
    FamilySync& familySync() const { return *m_sync; }
    // Whether the planner's rows are shown and may be edited here: only while we share the family file.
    bool sharesWithPlanner() const { return m_sync->syncsToFamily(); }
    ThingTransfer& transfer() const { return *m_transfer; }
    bool isReadOnly() const { return m_readOnly; }

    const Tab& tab() const { return m_state.tab; }
    void setTab(const Tab& tab);
    const QSet<RowID>& selection() const { return m_state.selection.ids(); }
    const std::optional<RowID>& selectionAnchor() const { return m_state.selection.anchor(); }
    const QSet<RowID>& dragging() const { return m_state.dragging; }
    const QSet<RecordId>& lingering() const { return m_state.lingering; }
    const QSet<QString>& lingeringShared() const { return m_state.lingeringShared; }
    const QString& searchText() const { return m_state.searchText; }
    void setSearchText(const QString& text);
    int rolledOver() const { return m_state.rolledOver; }
    const std::optional<QString>& toast() const { return m_state.toast; }
    const QDateTime& now() const { return m_state.now; }
    const std::vector<Pile*>& piles() const { return m_state.piles; }
    const std::optional<RecordId>& randomPick() const { return m_state.randomPick.current(); }
    const QSet<RecordId>& expanded() const { return m_state.expanded; }
    const std::optional<StepRequest>& addStepRequest() const { return m_state.addStepRequest; }
    const std::optional<NoteTarget>& editingNote() const { return m_state.editingNote; }
    const QString& notesDir() const { return m_notes->folder().path(); }
    // The timers the model runs on; views that wait (the note's save) use them too, so tests drive them.
    Timers& timers() const { return *m_timers; }
    bool isFocusMode() const { return m_state.isFocusMode; }
    bool floats() const { return m_state.floats; }
    void setFloats(bool floats);
    const QHash<QString, double>& externalOrder() const { return m_sync->externalOrder(); }
    // ---- Days and rows ----
    QString todayISO() const;
    std::optional<QDateTime> isoDay(const QString& text) const;
    std::optional<Source> source() const { return m_state.tab.source(); }
    Source source(const Thing& thing) const;
    const std::vector<Thing*>& allThings() const { return m_store->thingsBySortKey(); }
    std::vector<Thing*> visibleThings(const Source& source) const;
    std::vector<ListRow> rows(const Source& source, bool includeFamily) const;
    int count(const Source& source) const;
    std::optional<QString> meta(const Thing& thing, const Source& source) const;
    QString title(const Source& source) const;
    // The things named by the set (shared rows skipped), in no particular order.
    std::vector<Thing*> things(const QSet<RowID>& ids) const;
    // The same, in the order the current list shows them, then by sortKey.
    std::vector<Thing*> thingsInListOrder(const QSet<RowID>& ids) const;
    // ---- Family rows ----
    const std::vector<SharedThing>& familyThings() const { return m_sync->rows(); }
    std::vector<SharedThing> sharedThings(const QSet<RowID>& ids) const;
    std::optional<SharedThing> sharedThing(const QString& id) const;
    void toggleExternal(const SharedThing& row);
    // ---- Piles ----
    Pile* pile(RecordId id) const;
    void refreshPiles();
    // ---- Selection ----
    void select(const std::optional<RowID>& id);
    // A click on a row; Ctrl adds or takes away, Shift selects a range from the anchor.
    void click(const RowID& id, Qt::KeyboardModifiers modifiers, const Source& source, bool includeFamily);
    // The selected rows the list shows; the current source when none is given.
    QSet<RowID> selectedIDs(const std::optional<Source>& source, bool includeFamily) const;
    std::optional<RowID> primarySelection() const { return m_state.selection.primary(); }
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
    // The new thing; none for a blank title, a list that is gone or Done-ish (nothing is born done).
    Thing* add(const QString& title, const Source& source);
    void toggleDone(Thing& thing);
    void setDone(const QSet<RowID>& ids, bool done);
    bool allDone(const QSet<RowID>& ids) const;
    void snooze(const QSet<RowID>& ids, SnoozeOption option, const std::optional<std::vector<RowID>>& order);
    void moveToToday(const QSet<RowID>& ids, const std::optional<std::vector<RowID>>& order);
    void rename(Thing& thing, const QString& title);
    // A rename of either kind of row: ours through the store, the planner's in the family file.
    void rename(const RowID& row, const QString& title);
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
    NoteContent noteContent(RecordId thing) const;
    void saveNote(RecordId thing, const std::optional<QByteArray>& rtf, const QString& plain);
    // The same for either kind of row: ours, or the planner's (written into the family file).
    NoteContent noteContent(const NoteTarget& target) const;
    void saveNote(const NoteTarget& target, const std::optional<QByteArray>& rtf, const QString& plain);
    // saveNote() for a note too big to encode and write in a moment: `encode` makes its RTF on the notes'
    // own thread, the file is written there, and the record follows once it has landed. Saves land in the
    // order they were made.
    void saveNoteLater(const NoteTarget& target, std::function<QByteArray()> encode, const QString& plain);
    // Waits until every note saved so far is in its file and its record (closing a note, quitting).
    void settleNotes();
    // The rich notes of things an import is about to add: their files are written from now on, together,
    // off this thread, under fresh stems, while the things are made.
    struct NewNotes {
        std::shared_ptr<NoteKeeper::Batch> batch;
        std::vector<QString> stems;
        std::vector<QByteArray> rtfs;
    };
    NewNotes startNewNotes(const std::vector<QByteArray>& rtfs);
    // Their things, made, in the same order: until its file is there each note is shown from memory and
    // kept beside the store (at once, so that a kill loses none of them); then its thing names the file
    // (undone meanwhile, it names it when it comes back).
    void keepNewNotes(const NewNotes& notes, const std::vector<Thing*>& things);
    // Whether some note waits for its file (noteContent() then has it from memory).
    bool notesWaiting() const { return !m_notes->pending().empty(); }
    // A note whose thing went while it was open (deleted in the planner): kept as a new thing of ours in
    // Today with that title and note, whose id comes back; none when there is no text to keep.
    std::optional<RecordId> keepNoteAsNewThing(const QString& title, const std::optional<QByteArray>& rtf,
                                               const QString& plain);
    void showToast(const QString& text) override; // also what the sync engine calls
    void setEditingNote(const std::optional<NoteTarget>& target);
    void requestAdd();
    // Writes every unsaved change now (at quit); false with error set when it can't. A read-only model
    // has nothing to write.
    bool saveNow(QString* error = nullptr)
    {
        settleNotes();
        return m_readOnly || m_store->save(error);
    }
    void undo(); // the last edit (or group of edits) taken back, or done again
    void redo();
    // Kept in view in a list they left (ticked here or by the planner), or let go.
    void linger(const QSet<RecordId>& ids, bool lingering) override;
    // ---- Clock, windows and the random pick ----
    void rollOverIfNeeded();
    // One beat of the clock: moves `now` on and, on a new day, rolls over and purges.
    void tick();
    void setShellHooks(ShellHooks hooks) { m_shell = std::move(hooks); }
    // Brings the app's window forward when the app is re-activated; false when there was nothing to show.
    bool reopen();
    void enterFocusMode(); // the main window gives way to the focus panel, until exitFocusMode()
    void exitFocusMode();
    Thing* currentPick() const; // the random screen's thing, then reroll() or acceptPick()
    void reroll();
    void acceptPick(Thing& thing);

Q_SIGNALS:
    void changed(vorn::AppModel::Field field);
    void addRequested();     // New Thing: the list on screen opens its add row
    void newPileRequested(); // New List, below the limit: the tab strip asks for the name
    void mirrored();         // the local things were just mirrored into the family store
    void undoStateChanged(); // whether there is something to undo or redo may have changed
private:
    void emitIfChanged(bool changed, Field field);
    // The store's change feed: screens hear of the batch as `records`, after the bookkeeping it needs.
    void recordsChanged(const StoreChanges& batch);
    void clearToast();
    // A save of the store failed: say so once, and try again later, waiting longer each time.
    void saveFailed();
    void saveSucceeded();
    // A note that waited for its file got there: the record follows it now.
    void noteLanded(const PendingNote& note);
    // The note's file holds `text` now (or none, `stem` empty): the record follows, as one edit.
    void noteWritten(Thing& thing, const std::optional<QString>& stem, const QString& text);
    // After an undo or redo: each note file this session wrote goes back to the text its record has.
    void notesFollowRecords();
    // Whether the clock moving on from `since` to now took a snoozed thing out of Later.
    bool anyThingWoke(const QDateTime& since) const override;
    // What the sync engine asks of the model.
    SharedThing sharedRow(const Thing& thing, const QString& today, double updatedAt) const override;
    bool isInToday(const Thing& thing) const override;
    void moveToEndOfToday(Thing& thing) override;
    void forget(const Thing& thing) override;
    void familyRowsRead() override;
    void setSelection(Selection selection);
    void endDrag();
    std::vector<RowID> rowOrder(const Source& source, bool includeFamily) const;
    bool isTodayFamilyRow(const SharedThing& row, const QString& today) const;
    // Family rows planned for today: open ones, and done ones still lingering; in family order.
    std::vector<SharedThing> todayFromOthers() const;
    double orderKey(const ListRow& row) const;
    void purgeOldDoneIsh();
    // What a windowless run's rollover counted on the day `today` names (0 when none did), now told.
    int takeRolloverOfWindowlessRun(const QString& today);
    void startClock();
    bool showMainWindow();

    std::unique_ptr<Store> m_store;
    Schedule m_schedule;
    std::unique_ptr<Settings> m_settings;
    std::shared_ptr<const Clock> m_clock;
    std::shared_ptr<Timers> m_timers;
    bool m_readOnly = false;
    bool m_windowless = false;

    ModelState m_state;
    std::unique_ptr<NoteKeeper> m_notes;
    ModelIntervals m_intervals;
    std::unique_ptr<Timer> m_dragReset, m_toastTimer, m_clockTimer;
    std::unique_ptr<RetryBackoff> m_saveRetry;
    bool m_toldSaveFailed = false;
    ShellHooks m_shell;
    std::unique_ptr<ThingTransfer> m_transfer;
    // Last, so it goes first: its last mirror still reads the things and asks the model about them.
    std::unique_ptr<FamilySync> m_sync;
};

} // namespace vorn
