#pragma once

#include "model/AppModel.h"

#include <QProcessEnvironment>
#include <QStringList>

#include <memory>

namespace vorn {

// Everything the start-up reads from the process and the platform, gathered so tests can set it.
// The model's runtime (clock, timers, schedule, intervals, shell services, read-only, windowless) is
// the launch's own and goes to the model as it is.
struct Launch : ModelRuntime {
    QStringList arguments;
    QProcessEnvironment environment;
    QString appDataDir;    // the app's own folder: the local store lives here
    QString sharedDataDir; // the family's folder ("…/Vorn"): family.db and notes/
    QString tempDir;       // where demo runs keep their throw-away files
    QString settingsPath;  // the standard settings store's file
    // Where changes that couldn't be saved at quit are kept, best first: folders that are unlikely to be
    // on the store's disk (the cache, the runtime folder, the temp folder). None: no rescue.
    QStringList rescueFolders;
    // Overrides the usual choice of whether to mirror into the family store (tests that don't need it).
    std::optional<bool> syncsToFamily;
    // Whether to join the session bus for the family's change broadcast (tests keep off the user's bus).
    bool useSessionBus = true;

    // The process's own arguments, environment, clock and standard folders. Before the application
    // exists, its arguments come from the caller (and its names must be set).
    static Launch fromProcess();
    static Launch fromProcess(QStringList arguments);
    // This launch for a run that shows no window.
    Launch withoutWindow() const
    {
        Launch l = *this;
        l.windowless = true;
        return l;
    }

    bool isDemo() const;
    bool underTestHarness() const;
    QString storePath() const;
    // The lock beside the store that keeps a second process from writing it; empty for a store in memory.
    QString storeLockPath() const;
    // The notes folder: VORN_NOTES_DIR, else "notes" in the shared folder.
    QString notesDir() const;
    QString demoFolder() const;
    // family.db: VORN_FAMILY_DB (demo only) or the demo folder in demo mode, the shared folder otherwise.
    QString familyStorePath() const;
    QDateTime now() const;
    // The standard settings store, with the "-key value" launch arguments over it.
    std::unique_ptr<Settings> standardSettings() const;
    // The rescue file of this store in each rescue folder, in the folders' order; none in memory.
    QStringList rescuePaths() const;
};

// The XDG folder variables must name absolute paths; a relative one is ignored, as the XDG rules say,
// rather than putting the user's things under whatever folder the program was started in.
void ignoreRelativeXdgFolders();

// Saves the store; when that fails, keeps every change in the first rescue folder that takes it, for the
// next start to put back. The message says what happened (empty when the save worked).
enum class LastSave { saved, rescued, lost };
LastSave saveOrRescue(Store& store, const Launch& launch, QString* message);

// Opens the local object store: in memory for demo runs and under a test harness (demo runs get
// the sample data), the file in the app data folder otherwise, with what a failed quit kept for it taken
// back in (Store::adoptedRescue). Null with error set when it can't be opened.
// `timers`: what the store starts its autosave on until the model gives it its own (a store opened on
// another thread, whose Qt timers could not start).
std::unique_ptr<Store> makeStore(const Launch& launch, QString* error, Timers* timers = nullptr);

// The model over that store, with the standard settings, or the demo's own wiped suite in demo mode.
std::unique_ptr<AppModel> makeModel(const Launch& launch, std::unique_ptr<Store> store);

// The store the launch describes and the model over it, as every start makes them (the window and each
// command); null with `error` saying why when the store can't be opened.
std::unique_ptr<AppModel> openModel(const Launch& launch, QString* error);

// The demo's one planner row, planned for today, and a refresh so it shows.
void addDemoPlannerRow(AppModel& model, const Launch& launch);

// In demo mode: expands things with steps and opens the tab named by the "demoTab" setting.
void openDemoTab(AppModel& model, const Launch& launch);

// The demo's sample piles, things and steps.
void insertSampleData(Store& store, const Schedule& schedule, const QDateTime& now);

} // namespace vorn
