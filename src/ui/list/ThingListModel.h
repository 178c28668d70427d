#pragma once

#include "model/AppModel.h"
#include "ui/list/ListMetrics.h"

#include <QAbstractListModel>

#include <optional>
#include <vector>

namespace vorn {

// The rows of one source as a flat Qt model: the list's rows, with Later's section headers between
// them and an entry for the steps under each expanded thing, as entries of their own that cannot be
// selected. Refreshes itself whenever the model announces a change it shows.
class ThingListModel : public QAbstractListModel {
    Q_OBJECT

public:
    enum Role {
        TitleRole = Qt::UserRole + 1,
        DoneRole,
        MetaRole, // QString, empty when there is none or the style hides it
        ZCountRole,
        IsFamilyRole,
        RowIdRole,        // QString key: "t:<record>" or "s:<shared id>"
        StepProgressRole, // QString "done/total", empty without steps
        IsHeaderRole,
        HasStepsRole,
        ExpandedRole,
        DraggingRole,
        IsStepsRole,   // the entry that holds an expanded thing's steps view
        SourceAppRole, // QString: the app a family row comes from; empty for our own
    };

    ThingListModel(AppModel& model, Source source, ListStyle style, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QHash<int, QByteArray> roleNames() const override;

    const Source& source() const { return m_source; }
    void setSource(const Source& source);
    ListStyle style() const { return m_style; }

    // Rebuilds the rows; inserts or removes one run of rows when that is all that changed.
    void refresh();

    // The list's rows without headers, in order: what the model's operations take as `order`.
    const std::vector<RowID>& rowIDs() const { return m_rowIDs; }
    std::optional<RowID> rowID(int entry) const;
    // Position among rowIDs() of an entry; none for a header.
    std::optional<int> rowIndex(int entry) const;
    std::optional<int> entryOf(const RowID& id) const;
    bool isHeader(int entry) const;
    // The thing whose steps an entry holds; none for rows and headers.
    std::optional<RecordId> stepsOf(int entry) const;
    // The live thing of an entry; null for headers, family rows and things deleted since the last refresh.
    Thing* thing(int entry) const;
    // The family row of an entry as last read; null for everything else.
    const SharedThing* sharedThing(int entry) const;

    static QString key(const RowID& id);
    // The help of the steps button, which the arrow keys mirror: "Show steps (→)".
    static QString chevronHelp(bool expanded);

private:
    // What a screen reader hears of a row besides its title.
    struct Spoken {
        bool done = false;
        int zCount = 0;
        QString sourceApp;
        QString meta;
        int stepsDone = 0;
        int steps = 0;
        std::optional<bool> expanded; // set when the row has a steps button
    };
    static QString spokenDetails(const Spoken& row);

    struct Entry {
        std::optional<RowID> id; // none for a header or a steps entry
        QString header;
        std::optional<RecordId> stepsOf;
        std::optional<SharedThing> shared;
        QString key;
    };
    std::vector<Entry> build() const;
    void onModelChanged(AppModel::Field field);
    void allDataChanged();

    AppModel& m_model;
    Source m_source;
    ListStyle m_style;
    std::vector<Entry> m_entries;
    std::vector<RowID> m_rowIDs;
    std::vector<int> m_rowIndex;      // per entry: index among rows, -1 for headers
    QHash<QString, int> m_entryByKey; // the arrow keys and the selection mirror look rows up by id
};

} // namespace vorn
