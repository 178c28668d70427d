// The family file's day column ("YYYY-MM-DD", or whatever a broken writer put there), read in zones
// whose midnights are awkward. A day that reads must be the start of its own day and read back the
// same from the text we write for it.
#include "model/Schedule.h"

#include <array>
#include <cstddef>
#include <cstdint>

using namespace vorn;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    // Sao Paulo's clocks once skipped midnight, Apia skipped a whole day, Lord Howe moves by half an hour.
    static const std::array<Schedule, 5> schedules = {
        Schedule(QTimeZone::utc(), QLocale::c()),
        Schedule(QTimeZone("Europe/Berlin"), QLocale::c()),
        Schedule(QTimeZone("America/Sao_Paulo"), QLocale::c()),
        Schedule(QTimeZone("Pacific/Apia"), QLocale::c()),
        Schedule(QTimeZone("Australia/Lord_Howe"), QLocale::c()),
    };
    const Schedule& schedule = schedules[data[0] % schedules.size()];
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    const std::optional<QDateTime> start = schedule.isoDay(text);
    if (!start)
        return 0;
    if (!start->isValid() || schedule.startOfDay(*start) != *start)
        __builtin_trap();
    if (schedule.isoDay(schedule.dayText(*start)) != start)
        __builtin_trap();
    return 0;
}
