#include "ui/list/ThingListModel.h"

#include "pixel/ZCount.h"
#include "text/TitleText.h"

namespace vorn {

ThingListModel::ThingListModel(AppModel& model, Source source, ListStyle style, QObject* parent)
    : QAbstractListModel(parent), m_model(model), m_source(std::move(source)), m_style(style)
{
    refresh();
    connect(&m_model, &AppModel::changed, this, &ThingListModel::onModelChanged);
}

QString ThingListModel::key(const RowID& id)
{
    if (auto t = id.thingID())
        return QStringLiteral("t:") + QString::number(t->number);
    return QStringLiteral("s:") + id.sharedID().value_or(QString());
}

std::vector<ThingListModel::Entry> ThingListModel::build() const
{
    const bool regular = m_style == ListStyle::regular;
    const auto rows = m_model.rows(m_source, metrics(m_style).includeFamily);
    const bool headers = regular && m_source == Source::later;
    std::vector<Entry> out;
    out.reserve(rows.size() + (headers ? 8 : 0));
    std::optional<QString> previous;
    for (const ListRow& row : rows) {
        if (headers) {
            const Thing* t = row.thing();
            if (t && t->snoozedUntil()) {
                const QString label = m_model.schedule().laterSection(*t->snoozedUntil(), m_model.now());
                if (label != previous)
                    out.push_back(
                        Entry{std::nullopt, label, std::nullopt, std::nullopt, QStringLiteral("h:") + label});
                previous = label;
            } else {
                // A row without a wake time breaks the run, so the next dated row names its section again.
                previous.reset();
            }
        }
        const RowID id = row.id();
        std::optional<SharedThing> shared;
        if (const SharedThing* s = row.sharedThing())
            shared = *s;
        out.push_back(Entry{id, QString(), std::nullopt, std::move(shared), key(id)});
        if (const Thing* t = row.thing(); t && regular && m_model.expanded().contains(t->id())) {
            out.push_back(Entry{std::nullopt, QString(), t->id(), std::nullopt,
                                QStringLiteral("x:") + QString::number(t->id().number)});
        }
    }
    return out;
}

void ThingListModel::refresh()
{
    std::vector<Entry> next = build();
    const size_t oldSize = m_entries.size();
    const size_t newSize = next.size();
    size_t prefix = 0;
    while (prefix < oldSize && prefix < newSize && m_entries[prefix].key == next[prefix].key)
        ++prefix;
    size_t suffix = 0;
    while (suffix < oldSize - prefix && suffix < newSize - prefix &&
           m_entries[oldSize - 1 - suffix].key == next[newSize - 1 - suffix].key)
        ++suffix;
    const int oldMiddle = int(oldSize - prefix - suffix);
    const int newMiddle = int(newSize - prefix - suffix);

    auto install = [&] {
        m_entries = std::move(next);
        m_rowIDs.clear();
        m_rowIndex.assign(m_entries.size(), -1);
        m_entryByKey.clear();
        m_entryByKey.reserve(qsizetype(m_entries.size()));
        for (size_t i = 0; i < m_entries.size(); ++i) {
            if (m_entries[i].id) {
                m_entryByKey.insert(m_entries[i].key, int(i));
                m_rowIndex[i] = int(m_rowIDs.size());
                m_rowIDs.push_back(*m_entries[i].id);
            }
        }
    };

    if (oldMiddle == 0 && newMiddle == 0) {
        install();
        allDataChanged();
    } else if (oldMiddle == 0) {
        beginInsertRows({}, int(prefix), int(prefix) + newMiddle - 1);
        install();
        endInsertRows();
        allDataChanged();
    } else if (newMiddle == 0) {
        beginRemoveRows({}, int(prefix), int(prefix) + oldMiddle - 1);
        install();
        endRemoveRows();
        allDataChanged();
    } else {
        // Reordered or changed in several places: cheaper to start over than to work out the moves.
        beginResetModel();
        install();
        endResetModel();
    }
}

void ThingListModel::allDataChanged()
{
    if (!m_entries.empty())
        Q_EMIT dataChanged(index(0), index(int(m_entries.size()) - 1));
}

void ThingListModel::onModelChanged(AppModel::Field field)
{
    switch (field) {
    case AppModel::Field::records:
    case AppModel::Field::now:
    case AppModel::Field::searchText:
    case AppModel::Field::lingering:
    case AppModel::Field::lingeringShared:
    case AppModel::Field::familyThings:
    case AppModel::Field::tab:
    case AppModel::Field::externalOrder:
    case AppModel::Field::expanded:
        refresh();
        break;
    case AppModel::Field::dragging:
        allDataChanged();
        break;
    default:
        break;
    }
}

void ThingListModel::setSource(const Source& source)
{
    if (source == m_source)
        return;
    beginResetModel();
    m_source = source;
    m_entries.clear();
    m_rowIDs.clear();
    m_rowIndex.clear();
    m_entryByKey.clear();
    endResetModel();
    refresh();
}

int ThingListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_entries.size());
}

bool ThingListModel::isHeader(int entry) const
{
    return entry >= 0 && entry < int(m_entries.size()) && !m_entries[size_t(entry)].id &&
           !m_entries[size_t(entry)].stepsOf;
}

std::optional<RecordId> ThingListModel::stepsOf(int entry) const
{
    if (entry < 0 || entry >= int(m_entries.size()))
        return std::nullopt;
    return m_entries[size_t(entry)].stepsOf;
}

std::optional<RowID> ThingListModel::rowID(int entry) const
{
    if (entry < 0 || entry >= int(m_entries.size()))
        return std::nullopt;
    return m_entries[size_t(entry)].id;
}

std::optional<int> ThingListModel::rowIndex(int entry) const
{
    if (entry < 0 || entry >= int(m_rowIndex.size()) || m_rowIndex[size_t(entry)] < 0)
        return std::nullopt;
    return m_rowIndex[size_t(entry)];
}

std::optional<int> ThingListModel::entryOf(const RowID& id) const
{
    const auto it = m_entryByKey.constFind(key(id));
    if (it == m_entryByKey.constEnd())
        return std::nullopt;
    return *it;
}

Thing* ThingListModel::thing(int entry) const
{
    const auto id = rowID(entry);
    if (!id || !id->thingID())
        return nullptr;
    // Looked up each time: the store posts its change a turn later, and a deleted thing must not be read.
    Thing* t = m_model.store().thing(*id->thingID());
    return t && t->isLive() ? t : nullptr;
}

QString ThingListModel::chevronHelp(bool expanded)
{
    // The arrows are the keys' own faces on every keyboard; only modifiers are spelled out.
    return expanded ? QStringLiteral("Hide steps (\u2190)") : QStringLiteral("Show steps (\u2192)");
}

QString ThingListModel::spokenDetails(const Spoken& row)
{
    // What the row shows after its title, in the order it is drawn.
    QStringList parts{row.done ? QStringLiteral("Done") : QStringLiteral("Not done")};
    if (row.steps > 0) {
        parts << QStringLiteral("%1 of %2 %3 done")
                     .arg(row.stepsDone)
                     .arg(row.steps)
                     .arg(row.steps == 1 ? QStringLiteral("step") : QStringLiteral("steps"));
    }
    if (!row.meta.isEmpty())
        parts << row.meta;
    if (!row.sourceApp.isEmpty())
        parts << row.sourceApp;
    if (row.zCount >= 1 && !row.done)
        parts << ZCount::accessibleLabel(row.zCount);
    if (row.expanded)
        parts << chevronHelp(*row.expanded);
    return parts.join(QStringLiteral(", "));
}

const SharedThing* ThingListModel::sharedThing(int entry) const
{
    if (entry < 0 || entry >= int(m_entries.size()) || !m_entries[size_t(entry)].shared)
        return nullptr;
    return &*m_entries[size_t(entry)].shared;
}

QVariant ThingListModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const Entry& e = m_entries[size_t(index.row())];
    if (e.stepsOf)
        return role == IsStepsRole ? QVariant(true) : QVariant();
    if (!e.id) {
        switch (role) {
        case Qt::DisplayRole:
        case TitleRole:
            return e.header;
        case IsHeaderRole:
            return true;
        default:
            return {};
        }
    }
    const bool details = metrics(m_style).showsDetails;
    if (e.shared) {
        const SharedThing& s = *e.shared;
        switch (role) {
        case Qt::DisplayRole:
        case Qt::AccessibleTextRole:
        case TitleRole:
            return shownTitle(s.title); // shown one line and cut, never rewritten
        case Qt::EditRole:
            return editableTitle(s.title);
        case DoneRole:
            return s.done;
        case Qt::CheckStateRole:
            return s.done ? Qt::Checked : Qt::Unchecked;
        case Qt::AccessibleDescriptionRole: {
            Spoken spoken;
            spoken.done = s.done;
            spoken.zCount = s.zs;
            spoken.sourceApp = s.sourceApp;
            return spokenDetails(spoken);
        }
        case ZCountRole:
            return s.zs;
        case IsFamilyRole:
            return true;
        case RowIdRole:
            return e.key;
        case IsHeaderRole:
        case HasStepsRole:
        case ExpandedRole:
            return false;
        case MetaRole:
        case StepProgressRole:
            return QString();
        case DraggingRole:
            return m_model.dragging().contains(*e.id);
        case SourceAppRole:
            return s.sourceApp;
        default:
            return {};
        }
    }
    Thing* t = thing(index.row());
    if (!t)
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
    case TitleRole:
        return shownTitle(t->title());
    case Qt::EditRole:
        return editableTitle(t->title());
    case DoneRole:
        return t->isDone();
    case Qt::CheckStateRole:
        return t->isDone() ? Qt::Checked : Qt::Unchecked;
    case Qt::AccessibleDescriptionRole: {
        Spoken spoken;
        spoken.done = t->isDone();
        spoken.zCount = t->zCount();
        if (details) {
            spoken.meta = m_model.meta(*t, m_source).value_or(QString());
            if (!t->steps().empty())
                spoken.expanded = m_model.expanded().contains(t->id());
        }
        if (!t->steps().empty()) {
            const auto& steps = t->steps();
            spoken.stepsDone =
                int(std::count_if(steps.begin(), steps.end(), [](const Step* s) { return s->isDone(); }));
            spoken.steps = int(steps.size());
        }
        return spokenDetails(spoken);
    }
    case MetaRole:
        return details ? m_model.meta(*t, m_source).value_or(QString()) : QString();
    case ZCountRole:
        return t->zCount();
    case IsFamilyRole:
    case IsHeaderRole:
        return false;
    case RowIdRole:
        return e.key;
    case StepProgressRole:
        return t->stepProgress().value_or(QString());
    case HasStepsRole:
        return !t->steps().empty();
    case ExpandedRole:
        return m_model.expanded().contains(t->id());
    case DraggingRole:
        return m_model.dragging().contains(*e.id);
    default:
        return {};
    }
}

Qt::ItemFlags ThingListModel::flags(const QModelIndex& index) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return Qt::NoItemFlags;
    const Entry& e = m_entries[size_t(index.row())];
    if (!e.id)
        return Qt::ItemIsEnabled;
    // Checkable so that a screen reader says whether the row is done; the view handles the box's clicks.
    Qt::ItemFlags f =
        Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemIsUserCheckable;
    if (e.shared || thing(index.row()))
        f |= Qt::ItemIsEditable;
    return f;
}

bool ThingListModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || !checkIndex(index, CheckIndexOption::IndexIsValid))
        return false;
    // Trimming and refusing a blank title are the model's business, for our rows and the family's.
    const Entry& e = m_entries[size_t(index.row())];
    if (e.shared) {
        m_model.rename(RowID::shared(e.shared->id), value.toString());
        Q_EMIT dataChanged(index, index);
        return true;
    }
    Thing* t = thing(index.row());
    if (!t)
        return false;
    m_model.rename(*t, value.toString());
    Q_EMIT dataChanged(index, index);
    return true;
}

QHash<int, QByteArray> ThingListModel::roleNames() const
{
    auto names = QAbstractListModel::roleNames();
    names.insert(TitleRole, "title");
    names.insert(DoneRole, "done");
    names.insert(MetaRole, "meta");
    names.insert(ZCountRole, "zCount");
    names.insert(IsFamilyRole, "isFamily");
    names.insert(RowIdRole, "rowID");
    names.insert(StepProgressRole, "stepProgress");
    names.insert(IsHeaderRole, "isHeader");
    names.insert(HasStepsRole, "hasSteps");
    names.insert(ExpandedRole, "expanded");
    names.insert(DraggingRole, "dragging");
    names.insert(IsStepsRole, "isSteps");
    names.insert(SourceAppRole, "sourceApp");
    return names;
}

} // namespace vorn
