#include "model/Launch.h"

#include "store/Dates.h"

namespace vorn {

void insertSampleData(Store& store, const Schedule& schedule, const QDateTime& now)
{
    UndoRegistrationPause pause(store.undoManager());
    const QDateTime base = now.addSecs(-86400);
    const QDateTime tomorrow = schedule.startOfTomorrow(now);

    Pile* groceries = store.insert(Pile::make(QStringLiteral("Groceries"), base));
    Pile* trip = store.insert(Pile::make(QStringLiteral("Trip"), base.addSecs(1)));

    struct Sample {
        const char* title;
        int zCount;
        std::optional<QDateTime> snoozedUntil;
        Pile* pile;
        bool done;
    };
    const std::vector<Sample> samples{
        {"Reply to Kesh about the deck", 2, std::nullopt, nullptr, false},
        {"Book the dentist (for real this time)", 3, std::nullopt, nullptr, false},
        {"Drink water", 0, std::nullopt, nullptr, true},
        {"Think about the gym", 0, std::nullopt, nullptr, false},
        {"Water the plant on the left", 0, std::nullopt, nullptr, false},
        {"Call mum back", 1, tomorrow, nullptr, false},
        {"Return the jacket", 2, tomorrow, nullptr, false},
        {"Do the taxes, sort of", 3, schedule.wakeDate(SnoozeOption::monday, now), nullptr, false},
        {"Learn the guitar", 1, distantFuture(), nullptr, false},
        {"Fix the squeaky door", 0, distantFuture(), nullptr, false},
        {"Oat milk", 0, std::nullopt, groceries, false},
        {"Bread, the good one", 0, std::nullopt, groceries, false},
        {"Coffee beans", 0, std::nullopt, groceries, false},
        {"Passport (check it's in date)", 0, std::nullopt, trip, false},
        {"Chargers", 0, std::nullopt, trip, false},
    };
    int n = 1;
    for (const Sample& s : samples) {
        Thing* t =
            store.insert(Thing::make(QString::fromUtf8(s.title), base.addSecs(n++), s.snoozedUntil, s.pile));
        t->setZCount(s.zCount);
        if (s.done)
            t->setDoneAt(now);
    }
    store.save(); // a failed save is retried by the next one

    for (Thing* t : store.thingsBySortKey()) {
        if (!t->title().startsWith(QLatin1String("Reply to Kesh")))
            continue;
        Step* read = store.insert(Step::make(QStringLiteral("Read her notes"), t, base));
        read->setDoneAt(now);
        store.insert(Step::make(QStringLiteral("Fix slide 4"), t, base.addSecs(1)));
        store.insert(Step::make(QStringLiteral("Send it, don't reread it"), t, base.addSecs(2)));
        break;
    }
    store.save();
}

} // namespace vorn
