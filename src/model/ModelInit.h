#pragma once

#include "family/FamilyNotifier.h"
#include "family/FamilyStore.h"
#include "model/Clock.h"
#include "model/Schedule.h"
#include "model/Settings.h"
#include "model/Timers.h"
#include "store/Store.h"

#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace vorn {

class Pasteboard;
class PlannerWorkspace;

// What the model runs on, whoever starts it: the launch is one of these and hands it on whole, and
// tests that make a model by hand fill it in.
struct ModelRuntime {
    std::shared_ptr<const Clock> clock; // the system clock when absent (clockOrSystem)
    std::shared_ptr<Timers> timers;     // Qt's timers when absent; tests fire their own
    std::optional<Schedule> schedule;   // the user's calendar when absent
    ModelIntervals intervals;
    // The general pasteboard and the desktop's planner services, lent by the shell; without them
    // copy, cut, paste and sending to the planner do nothing.
    Pasteboard* pasteboard = nullptr;
    PlannerWorkspace* workspace = nullptr;
    QString handoffPath; // the planner hand-off file; the runtime folder's when empty
    // Look, don't touch: no settings writes, no folders made, no rollover, no clock, no sync (and for a
    // launch: the store opens read-only and nothing is written anywhere).
    bool readOnly = false;
    // A command-line run (an add, an import) that shows no window: what the day's rollover counted is
    // kept for the next model that has one.
    bool windowless = false;
};

// The model's tie to the family file, handed on whole from the start-up to the sync.
struct FamilyLink {
    bool syncsToFamily = true;                // off: the family file is never read or written
    std::unique_ptr<FamilyStore> familyStore; // absent: the app runs without the family
    std::unique_ptr<FamilyNotifier> notifier; // absent: changes are seen at the next start
};

// What the model is made from; makeModel fills it from a Launch, tests fill it by hand.
struct ModelInit : ModelRuntime, FamilyLink {
    std::unique_ptr<Store> store;
    std::unique_ptr<Settings> settings;
    QString notesDir;         // where note files live; none: notes keep their plain text only
    QString pendingNotesPath; // notes not yet in their files wait here; none: in memory
};

// The windows as the model moves between them (focus mode, reopen). Any of them may be missing.
struct ShellHooks {
    // Shows the focus panel, built on first use, floating or not as the model says, in front.
    std::function<void()> showFocusPanel;
    std::function<void()> hideFocusPanel;
    // Raises and activates the main window while it exists; false once it is gone.
    std::function<bool()> raiseMainWindow;
    std::function<void()> hideMainWindow;
};

} // namespace vorn
