#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>
#include <QString>
#include <QVariantList>

#include <functional>
#include <optional>

namespace vorn {

class AppModel;
class CalendarSyncRunner;

// One app per session: the running one owns this bus name, and a later start talks to it instead of
// opening the store a second time.
inline constexpr char kInstanceServiceName[] = "com.vorn.todo";
inline constexpr char kInstanceObjectPath[] = "/com/vorn/todo";
inline constexpr char kInstanceInterface[] = "com.vorn.todo.App";

// What the running app answers on the session bus: bring its window back, take a thing for Today, or
// open the add row (the desktop entry's "New Thing").
class InstanceService : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.vorn.todo.App")

public:
    explicit InstanceService(AppModel& model, QObject* parent = nullptr);
    ~InstanceService() override;

    // Exports the object, then claims the name, so no call ever finds the name without the object.
    // False when another process owns the name (or there is no bus): it is the instance, not us.
    bool claim(QDBusConnection bus);

public Q_SLOTS:
    Q_SCRIPTABLE void Reopen();
    Q_SCRIPTABLE void AddThing(const QString& title);
    Q_SCRIPTABLE void NewThing();
    // What `vorn-todo --import` read, added as one undo step; answers what was imported and skipped.
    Q_SCRIPTABLE QString Import(const QString& text, bool todoTxt);
    // The same for an iCalendar file's text.
    Q_SCRIPTABLE QString ImportCalendar(const QString& text);
    // `vorn-todo --sync`: one sync now. Over the bus the answer waits for its end: what it did, in the
    // line --sync prints, and whether it worked.
    Q_SCRIPTABLE QString SyncCalendar(bool& worked);
    // `vorn-todo --sync-setup` kept an account: the app syncs with it now, and on its schedule from then on.
    Q_SCRIPTABLE void CalendarAccountChanged();
    // `vorn-todo --sync-stop`: the account forgotten, once a sync under way has ended.
    Q_SCRIPTABLE QString StopCalendarSync(bool& worked);

public:
    // The running app's calendar sync, which SyncCalendar starts; none: it doesn't sync.
    void setCalendarSync(CalendarSyncRunner* runner) { m_calendarSync = runner; }

private:
    // Runs it on the app's sync; over the bus the reply waits for its end (what it said, and whether it
    // worked), else `started` answers at once.
    QString answerWhenDone(void (CalendarSyncRunner::*run)(std::function<void(bool, const QString&)>),
                           bool& worked, const QString& started);

    AppModel& m_model;
    std::optional<QDBusConnection> m_bus;
    CalendarSyncRunner* m_calendarSync = nullptr;
};

enum class InstanceAnswer {
    done,       // the running app did it
    noInstance, // nobody owns the name, or there is no bus: the caller is on its own
    failed,     // the running app refused or did not answer; `error` says why
    timedOut,   // no answer within the time given
};

// A busy app (a save, a slow disk) still answers within this; a hung one is reported, not waited on.
inline constexpr int kInstanceAnswerMSecs = 10000;

// Calls `method` on the running app, if there is one; `reply` gets what it answered.
InstanceAnswer callInstance(QDBusConnection bus, const QString& method, const QVariantList& arguments = {},
                            QString* error = nullptr, QVariantList* reply = nullptr,
                            int answerWithinMSecs = kInstanceAnswerMSecs);

} // namespace vorn
