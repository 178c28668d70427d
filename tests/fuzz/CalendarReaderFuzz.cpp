#include "ical/CalendarTodo.h"

#include <cstddef>
#include <cstdint>

// Whatever the bytes, reading them must not crash or hang. And what was read, written out as our
// .ics and read again, must come back thing for thing, with nothing the second time that can't be read.
// Read in parts or written in runs side by side, it is the same as on one thread.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace vorn::ical;
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    CalendarRead first = readCalendar(bytes, 1);
    // Read in parts side by side, the same things and the same problems at the same lines.
    {
        const CalendarRead cut = readCalendar(bytes, 3);
        if (cut.things != first.things || cut.problems != first.problems)
            __builtin_trap();
    }
    if (first.things.empty())
        return 0;
    const QDateTime stamp(QDate(2026, 12, 9), QTime(16, 0), Qt::UTC);
    const QByteArray written = writeCalendar(first.things, stamp, 1);
    // Written in runs side by side, the same text.
    if (writeCalendar(first.things, stamp, 3) != written)
        __builtin_trap();
    CalendarRead second = readCalendar(written);
    // The kept text and LAST-MODIFIED are the reader's record of the file, not fields of the thing.
    auto fields = [](std::vector<CalendarThing>& things) {
        for (CalendarThing& t : things) {
            t.kept.clear();
            t.modified.reset();
        }
    };
    fields(first.things);
    fields(second.things);
    // A to-do cancelled with no time is done since its LAST-MODIFIED, which the write sets when it
    // changed the item: a done time not known may come back known, never the other way.
    if (second.things.size() == first.things.size()) {
        for (std::size_t i = 0; i < first.things.size(); ++i) {
            CalendarThing& a = first.things[i];
            CalendarThing& b = second.things[i];
            if (a.done && !a.doneAt)
                b.doneAt.reset();
            for (std::size_t j = 0; j < a.steps.size() && j < b.steps.size(); ++j) {
                if (a.steps[j].done && !a.steps[j].doneAt)
                    b.steps[j].doneAt.reset();
            }
        }
    }
    if (!second.problems.empty() || second.things != first.things)
        __builtin_trap();
    return 0;
}
