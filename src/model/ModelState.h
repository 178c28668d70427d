#pragma once

#include "model/Entities.h"
#include "model/RandomPick.h"
#include "model/Selection.h"

#include <QDateTime>
#include <QSet>
#include <QString>

#include <optional>
#include <vector>

namespace vorn {

// What the screens observe of the model, each field named by AppModel::Field when it changes.
struct ModelState {
    Tab tab = Tab::list(TodoList::today);
    Selection selection;
    QSet<RowID> dragging;
    QSet<RecordId> lingering;      // things kept in view in a list they no longer belong to
    QSet<QString> lingeringShared; // the same for family rows ticked here
    QString searchText;
    int rolledOver = 0; // things moved on at the last midnight
    std::optional<QString> toast;
    QDateTime now;
    std::vector<Pile*> piles;
    RandomPick randomPick;
    QSet<RecordId> expanded; // things showing their steps
    std::optional<StepRequest> addStepRequest;
    std::optional<NoteTarget> editingNote;
    bool isFocusMode = false;
    bool floats = true;
};

} // namespace vorn
