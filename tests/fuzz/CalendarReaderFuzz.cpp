#include "ical/CalendarTodo.h"

#include <cstddef>
#include <cstdint>

// Whatever the bytes, reading them must not crash or hang. And what was read, written out as our
// .ics and read again, must come back thing for thing, with nothing the second time that can't be read.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace vorn::ical;
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    CalendarRead first = readCalendar(bytes);
    if (first.things.empty())
        return 0;
    const QDateTime stamp(QDate(2026, 12, 9), QTime(16, 0), Qt::UTC);
    CalendarRead second = readCalendar(writeCalendar(first.things, stamp));
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
