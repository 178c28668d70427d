#pragma once

#include "model/Launch.h"
#include "support/FakeWorkspace.h"
#include "support/ManualTimers.h"
#include "support/TestSupport.h"
#include "transfer/Pasteboard.h"
#include "transfer/PlannerWorkspace.h"

#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <source_location>

namespace vorn::test {

// A launch confined to temporary folders, on a clock the test sets, in a fixed time zone.
struct ModelHarness {
    explicit ModelHarness(QDateTime start = at("Europe/Berlin", "2026-03-10 09:30:00"),
                          const char* zone = "Europe/Berlin")
        : clock(std::make_shared<FixedClock>(start.toUTC()))
    {
        launch.arguments = {QStringLiteral("vorn-todo")};
        launch.environment = QProcessEnvironment();
        launch.clock = clock;
        launch.schedule = Schedule(QTimeZone(zone), QLocale(QStringLiteral("en_US")));
        launch.appDataDir = dir.filePath(QStringLiteral("appdata"));
        launch.sharedDataDir = dir.filePath(QStringLiteral("shared/Vorn"));
        launch.tempDir = dir.filePath(QStringLiteral("tmp"));
        launch.settingsPath = dir.filePath(QStringLiteral("settings/vorn-todo.json"));
        launch.useSessionBus = false;
        // Most tests are about this app alone; the sync tests switch the family back on.
        launch.syncsToFamily = false;
        launch.pasteboard = &pasteboard;
        launch.workspace = &workspace;
        launch.handoffPath = dir.filePath(QStringLiteral("handoff"));
    }

    void demo() { launch.arguments << QStringLiteral("-demo"); }
    // The model's timers fire when the test moves `timers` on, not when the machine gets round to it.
    void manualTimers() { launch.timers = timers; }

    // Opens the store the launch describes and builds the model on it.
    std::unique_ptr<AppModel> start()
    {
        QString error;
        auto store = makeStore(launch, &error);
        EXPECT_TRUE(store) << error.toStdString();
        if (!store)
            return nullptr;
        store->setAutosaveDelay(0);
        store->setMovedCheckInterval(0);
        return makeModel(launch, std::move(store));
    }

    Thing* thingTitled(const AppModel& model, const QString& title) const
    {
        for (Thing* t : model.allThings()) {
            if (t->title() == title)
                return t;
        }
        return nullptr;
    }

    QTemporaryDir dir;
    std::shared_ptr<FixedClock> clock;
    std::shared_ptr<ManualTimers> timers = std::make_shared<ManualTimers>();
    MemoryPasteboard pasteboard;
    FakeWorkspace workspace;
    Launch launch;
};

// The store posts its change a turn later and the views follow it then: waits for that post, and fails
// the test (at the caller's line) when none comes, since the caller expected an edit to announce itself.
inline void waitForStoreChange(AppModel& model, std::source_location where = std::source_location::current())
{
    QSignalSpy spy(&model.store(), &Store::changed);
    if (!spy.wait(5000))
        ADD_FAILURE_AT(where.file_name(), int(where.line())) << "the store never announced a change";
}

} // namespace vorn::test
