#pragma once

#include "model/Clock.h"
#include "model/Entities.h"
#include "model/Schedule.h"
#include "model/Settings.h"
#include "store/Store.h"

#include <QHash>
#include <QObject>
#include <QProcessEnvironment>
#include <QSet>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

namespace vorn {

// The one model every screen reads and every command goes through. It owns the object store
// and the settings store for the life of the process.
class AppModel : public QObject {
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
        addRequest,
        newPileRequest,
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
    };

    struct Init {
        std::unique_ptr<Store> store;
        std::unique_ptr<Settings> defaults;
        std::optional<bool> syncsToFamily;
        QStringList arguments;
        QProcessEnvironment environment;
        std::shared_ptr<const Clock> clock;             // the system clock when absent
        std::optional<Schedule> schedule;               // the user's calendar when absent
        QString defaultNotesDir;                        // where notes live unless VORN_NOTES_DIR says otherwise
        // Look, don't touch: no settings writes, no folders made, no rollover, no clock, no sync.
        bool readOnly = false;
    };

    explicit AppModel(Init init, QObject* parent = nullptr);
    ~AppModel() override;

    // ---- Fields ----
    Store& store() const { return *m_store; }
    const Schedule& schedule() const { return m_schedule; }
    Settings& defaults() const { return *m_defaults; }
    const Clock& clock() const { return *m_clock; }
    bool syncsToFamily() const { return m_syncsToFamily; }
    bool isReadOnly() const { return m_readOnly; }

    const Tab& tab() const { return m_tab; }
    void setTab(const Tab& tab);
    const QSet<RowID>& selection() const { return m_selection; }
    const std::optional<RowID>& selectionAnchor() const { return m_selectionAnchor; }
    const QSet<RowID>& dragging() const { return m_dragging; }
    const QSet<RecordId>& lingering() const { return m_lingering; }
    const QSet<QString>& lingeringShared() const { return m_lingeringShared; }
    const QString& searchText() const { return m_searchText; }
    void setSearchText(const QString& text);
    int addRequest() const { return m_addRequest; }
    int newPileRequest() const { return m_newPileRequest; }
    int rolledOver() const { return m_rolledOver; }
    const std::optional<QString>& toast() const { return m_toast; }
    const QDateTime& now() const { return m_now; }
    const std::vector<Pile*>& piles() const { return m_piles; }
    const std::optional<RecordId>& randomPick() const { return m_randomPick; }
    const QSet<RecordId>& expanded() const { return m_expanded; }
    const std::optional<StepRequest>& addStepRequest() const { return m_addStepRequest; }
    const std::optional<NoteTarget>& editingNote() const { return m_editingNote; }
    const QString& notesDir() const { return m_notesDir; }
    bool isFocusMode() const { return m_isFocusMode; }
    bool floats() const { return m_floats; }
    void setFloats(bool floats);
    const QHash<QString, double>& externalOrder() const { return m_externalOrder; }
    bool syncPending() const { return m_syncPending; }
    bool ownChangePending() const { return m_ownChangePending; }

    // ---- Day text ----
    QString todayISO() const;
    std::optional<QDateTime> isoDay(const QString& text) const;

    // ---- Rows ----
    std::optional<Source> source() const { return m_tab.source(); }
    Source source(const Thing& thing) const;
    const std::vector<Thing*>& allThings() const { return m_store->thingsBySortKey(); }
    std::vector<Thing*> visibleThings(const Source& source, const std::vector<Thing*>& from) const;
    int count(const Source& source, const std::vector<Thing*>& from) const;
    QString title(const Source& source) const;

    // ---- Piles ----
    Pile* pile(RecordId id) const;
    void refreshPiles();

    // ---- Expansion ----
    void setExpanded(const Thing& thing, bool expanded);

    // ---- Rollover and clean-up ----
    void rollOverIfNeeded();
    void purgeOldDoneIsh();

    // ---- Sync ----
    // Asks for the local things to be mirrored to the family store soon.
    void scheduleSync();

Q_SIGNALS:
    void changed(vorn::AppModel::Field field);

private:
    void emitIfChanged(bool changed, Field field);

    std::unique_ptr<Store> m_store;
    Schedule m_schedule;
    std::unique_ptr<Settings> m_defaults;
    std::shared_ptr<const Clock> m_clock;
    bool m_syncsToFamily = true;
    bool m_readOnly = false;

    Tab m_tab = Tab::list(TodoList::today);
    QSet<RowID> m_selection;
    std::optional<RowID> m_selectionAnchor;
    QSet<RowID> m_dragging;
    QSet<RecordId> m_lingering;
    QSet<QString> m_lingeringShared;
    QString m_searchText;
    int m_addRequest = 0;
    int m_newPileRequest = 0;
    int m_rolledOver = 0;
    std::optional<QString> m_toast;
    QDateTime m_now;
    std::vector<Pile*> m_piles;
    std::optional<RecordId> m_randomPick;
    QSet<RecordId> m_expanded;
    std::optional<StepRequest> m_addStepRequest;
    std::optional<NoteTarget> m_editingNote;
    QString m_notesDir;
    bool m_isFocusMode = false;
    bool m_floats = true;
    bool m_syncPending = false;
    QHash<QString, double> m_externalOrder;
    bool m_ownChangePending = false;
};

} // namespace vorn
