#include "model/ImportTarget.h"

#include "model/AppModel.h"
#include "model/Constants.h"

namespace vorn {

Pile* pileNamed(const AppModel& model, const QString& name)
{
    for (Pile* pile : model.piles()) {
        if (pile->name().compare(name, Qt::CaseInsensitive) == 0)
            return pile;
    }
    return nullptr;
}

Pile* makeImportedPile(AppModel& model, const QString& name, const QDateTime& at)
{
    if (model.piles().size() >= kMaxPiles)
        return nullptr;
    Pile* pile = model.store().insert(Pile::make(name, at));
    model.refreshPiles();
    return pile;
}

QString noRoomForList(const QString& name)
{
    return QStringLiteral("no room for a fifth list, so \"%1\" went to Today").arg(name);
}

void finishImport(AppModel& model, ImportOutcome& outcome, qint64 made, bool pilesMade)
{
    outcome.added = int(made);
    if (pilesMade)
        model.refreshPiles();
    if (made > 0 || pilesMade)
        model.store().save();
}

} // namespace vorn
