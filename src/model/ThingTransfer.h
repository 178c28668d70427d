#pragma once

#include "model/Entities.h"
#include "transfer/TransferThing.h"

#include <QDateTime>
#include <QSet>
#include <QString>

#include <optional>
#include <vector>

namespace vorn {

class AppModel;
class Pasteboard;
class PlannerWorkspace;

// Things leaving and arriving as transfer records: copy, cut and paste through the general pasteboard,
// and sending to the planner through its hand-off file. Everything goes through the model's operations
// and undo, one undo step per command.
class ThingTransfer {
public:
    ThingTransfer(AppModel& model, Pasteboard* pasteboard, PlannerWorkspace* workspace, QString handoffPath);

    bool plannerIsInstalled() const;
    // The transfer record of a thing, with its note file's RTF when that can be read.
    TransferThing record(const Thing& thing) const;
    void copy(const QSet<RowID>& ids);
    void cut(const QSet<RowID>& ids, const std::optional<std::vector<RowID>>& order);
    void sendToPlanner(const QSet<RowID>& ids, const std::optional<std::vector<RowID>>& order);
    void paste();
    // Makes things from records in a list, 1 ms apart in their order; returns how many it made.
    int insert(const std::vector<TransferThing>& records, const Source& into, const QDateTime& now);

private:
    std::vector<TransferThing> records(const std::vector<Thing*>& things) const;
    // The things left through the clipboard or to the planner: gone here, selection moved on.
    void removeHandedOff(const std::vector<Thing*>& list, const QSet<RowID>& ids,
                         const std::optional<std::vector<RowID>>& order);

    AppModel& m_model;
    Pasteboard* m_pasteboard;
    PlannerWorkspace* m_workspace;
    QString m_handoffPath;
};

} // namespace vorn
