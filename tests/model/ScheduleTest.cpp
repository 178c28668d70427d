#include "model/Schedule.h"
#include "store/Dates.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>

using namespace vorn;

namespace {

// Berlin changes its clocks on 2026-03-29 (23-hour day) and 2026-10-25 (25-hour day). Sao Paulo skipped
// midnight on 2018-11-04; Havana skips midnight on 2026-03-08 and shows it twice on 2026-11-01.
constexpr const char* kBerlin = "Europe/Berlin";
constexpr const char* kSaoPaulo = "America/Sao_Paulo";
constexpr const char* kHavana = "America/Havana";

Schedule scheduleIn(const char* zone, const char* locale = "en_US")
{
    EXPECT_TRUE(QTimeZone(zone).isValid()) << zone;
    return Schedule(QTimeZone(zone), QLocale(QString::fromLatin1(locale)));
}

// Wall-clock text in `zone`, or a UTC instant when it ends in "Z" (for readings a zone shows twice or skips).
QDateTime when(const char* zone, const std::string& text)
{
    if (text.ends_with('Z'))
        return test::at("UTC", text.substr(0, text.size() - 1).c_str());
    return test::at(zone, text.c_str());
}

std::string iso(const QDateTime& t)
{
    return t.isValid() ? t.toUTC().toString(Qt::ISODate).toStdString() : "invalid";
}

struct Shift {
    const char* zone;
    const char* from;
    const char* expected;
};

void expectShifts(SnoozeOption option, std::initializer_list<Shift> cases)
{
    for (const Shift& c : cases) {
        SCOPED_TRACE(std::string(c.zone) + " " + c.from);
        EXPECT_EQ(iso(scheduleIn(c.zone).wakeDate(option, when(c.zone, c.from))),
                  iso(when(c.zone, c.expected)));
    }
}

} // namespace

TEST(Schedule, DoneBeatsSnoozeAndASnoozeEndingNowIsOver)
{
    const Schedule schedule = scheduleIn(kBerlin);
    const QDateTime now = test::at(kBerlin, "2026-03-07 10:00:00");
    const QTimeZone newYork("America/New_York"); // instants, not wall clocks, are compared
    const struct {
        bool done;
        std::optional<int> snoozeSecs;
        TodoList expected;
    } cases[] = {
        {true, 3600, TodoList::doneIsh}, {true, {}, TodoList::doneIsh}, {false, 0, TodoList::today},
        {false, 1, TodoList::later},     {false, -60, TodoList::today}, {false, {}, TodoList::today},
    };
    for (const auto& c : cases) {
        const auto snooze =
            c.snoozeSecs ? std::optional(now.addSecs(*c.snoozeSecs).toTimeZone(newYork)) : std::nullopt;
        const auto done = c.done ? std::optional(now.addDays(-1)) : std::nullopt;
        EXPECT_EQ(schedule.list(done, snooze, now), c.expected) << c.done << " " << c.snoozeSecs.value_or(-1);
    }
}

TEST(Schedule, TonightIshAimsAtLocalSevenPmNotHoursAfterMidnight)
{
    expectShifts(SnoozeOption::tonightIsh,
                 {
                     {kBerlin, "2026-03-07 18:59:59", "2026-03-07 19:00:00"},
                     {kBerlin, "2026-03-07 19:00:00", "2026-03-07 21:00:00"},
                     {kBerlin, "2026-03-07 23:30:00", "2026-03-08 01:30:00"},
                     {kBerlin, "2026-03-07 00:00:00", "2026-03-07 19:00:00"},
                     {kBerlin, "2026-03-29 10:00:00", "2026-03-29 19:00:00"},
                     {kBerlin, "2026-10-25 10:00:00", "2026-10-25 19:00:00"},
                     {kHavana, "2026-03-07 23:30:00",
                      "2026-03-08 02:30:00"}, // two real hours over the skipped midnight
                 });
}

TEST(Schedule, TomorrowIsTheNextLocalDaysFirstInstantNotTwentyFourHoursOn)
{
    expectShifts(SnoozeOption::tomorrow, {
                                             {kBerlin, "2026-03-07 23:59:00", "2026-03-08 00:00:00"},
                                             {kBerlin, "2026-03-29 12:00:00", "2026-03-30 00:00:00"},
                                             {kBerlin, "2026-10-25 12:00:00", "2026-10-26 00:00:00"},
                                             {kSaoPaulo, "2018-11-03 12:00:00", "2018-11-04 01:00:00"},
                                             {kSaoPaulo, "2018-11-04 12:00:00", "2018-11-05 00:00:00"},
                                             {kHavana, "2026-10-31 12:00:00",
                                              "2026-11-01 04:00:00Z"}, // the first of the two midnights
                                         });
}

TEST(Schedule, MondayIsNextMondaysMidnightAndAFullWeekFromAMonday)
{
    expectShifts(SnoozeOption::monday, {
                                           {kBerlin, "2026-03-09 08:00:00", "2026-03-16 00:00:00"},
                                           {kBerlin, "2026-03-09 00:00:00", "2026-03-16 00:00:00"},
                                           {kBerlin, "2026-03-08 23:00:00", "2026-03-09 00:00:00"},
                                           {kBerlin, "2026-03-10 00:00:00", "2026-03-16 00:00:00"},
                                           {kBerlin, "2026-03-28 10:00:00", "2026-03-30 00:00:00"},
                                           {kBerlin, "2026-10-24 10:00:00", "2026-10-26 00:00:00"},
                                       });
}

TEST(Schedule, SomedayWakesAtTheDistantFutureTheLabelsRecognise)
{
    const Schedule schedule = scheduleIn(kBerlin);
    const QDateTime now = test::at(kBerlin, "2026-03-07 10:00:00");
    const QDateTime wake = schedule.wakeDate(SnoozeOption::someday, now);
    EXPECT_EQ(wake, distantFuture());
    EXPECT_EQ(schedule.wakeLabel(wake, now).toStdString(), "someday");
    EXPECT_EQ(schedule.laterSection(wake, now).toStdString(), "Someday");
}

TEST(Schedule, ResultsAreUtcWhateverZoneTheInputIsIn)
{
    const Schedule schedule = scheduleIn(kBerlin);
    const QDateTime morning = test::at(kBerlin, "2026-07-07 10:00:00");
    const QDateTime night = test::at(kBerlin, "2026-07-07 22:00:00");
    for (const QDateTime& t : {schedule.wakeDate(SnoozeOption::tonightIsh, morning),
                               schedule.wakeDate(SnoozeOption::tonightIsh, night),
                               schedule.wakeDate(SnoozeOption::tomorrow, morning),
                               schedule.wakeDate(SnoozeOption::monday, morning), schedule.startOfDay(morning),
                               schedule.startOfTomorrow(morning), schedule.addDays(morning, 0),
                               schedule.addDays(morning, 3), schedule.isoDay("2026-07-07").value()}) {
        EXPECT_TRUE(t.isValid());
        EXPECT_EQ(t.offsetFromUtc(), 0) << iso(t);
    }
}

TEST(Schedule, StartOfDayIsTheFirstInstantWhenMidnightIsSkippedOrRepeated)
{
    const Shift cases[] = {
        {kBerlin, "2026-03-07 12:00:00", "2026-03-07 00:00:00"},
        {kBerlin, "2026-03-29 12:00:00", "2026-03-28 23:00:00Z"},
        {kBerlin, "2026-10-25 23:30:00", "2026-10-24 22:00:00Z"},
        {kSaoPaulo, "2018-11-04 12:00:00", "2018-11-04 03:00:00Z"},
        {kSaoPaulo, "2019-02-17 02:30:00Z", "2019-02-16 02:00:00Z"}, // the second 23:30 of 02-16
        {kHavana, "2026-03-08 12:00:00", "2026-03-08 05:00:00Z"},
        {kHavana, "2026-11-01 12:00:00", "2026-11-01 04:00:00Z"},
        {kHavana, "2026-11-01 05:30:00Z", "2026-11-01 04:00:00Z"},          // the second 00:30
        {"Pacific/Apia", "2011-12-31 12:00:00", "2011-12-30 10:00:00Z"},    // 2011-12-30 never happened there
        {"America/Toronto", "1919-03-31 12:00:00", "1919-03-31 04:30:00Z"}, // clocks jumped 23:30 -> 00:30
    };
    for (const Shift& c : cases)
        EXPECT_EQ(iso(scheduleIn(c.zone).startOfDay(when(c.zone, c.from))), iso(when(c.zone, c.expected)))
            << c.zone << " " << c.from;
}

TEST(Schedule, AddDaysCountsCalendarDaysNotMultiplesOfDaySeconds)
{
    const struct {
        const char* from;
        int days;
        const char* expected;
    } cases[] = {
        {"2026-03-28 12:00:00", 1, "2026-03-29 12:00:00"},
        {"2026-03-24 00:00:00", 7, "2026-03-31 00:00:00"},
        {"2026-10-26 12:00:00", -1, "2026-10-25 12:00:00"},
        {"2026-12-31 18:00:00", 1, "2027-01-01 18:00:00"},
        {"2026-03-28 02:30:00", 1, "2026-03-29 01:30:00Z"},  // skipped 02:30 shows as 03:30
        {"2026-10-24 02:30:00", 1, "2026-10-25 00:30:00Z"},  // first of the two 02:30s
        {"2026-10-25 01:30:00Z", 0, "2026-10-25 01:30:00Z"}, // the second 02:30 stays itself
        {"2026-10-25 01:30:00Z", 1, "2026-10-26 02:30:00"},
    };
    const Schedule schedule = scheduleIn(kBerlin);
    for (const auto& c : cases)
        EXPECT_EQ(iso(schedule.addDays(when(kBerlin, c.from), c.days)), iso(when(kBerlin, c.expected)))
            << c.from << " + " << c.days;
}

TEST(Schedule, SameDayComparesLocalDatesNotUtcDates)
{
    const struct {
        const char* a;
        const char* b;
        bool same;
    } cases[] = {
        {"2026-03-07 23:59:59", "2026-03-08 00:00:00", false},
        {"2026-03-07 00:00:00", "2026-03-07 23:59:59", true},
        {"2026-10-25 00:30:00", "2026-10-25 23:30:00", true},
        {"2026-03-06 23:30:00Z", "2026-03-07 12:00:00Z", true},
        {"2026-03-07 12:00:00Z", "2026-03-07 23:30:00Z", false},
    };
    const Schedule schedule = scheduleIn(kBerlin);
    for (const auto& c : cases)
        EXPECT_EQ(schedule.isSameDay(when(kBerlin, c.a), when(kBerlin, c.b)), c.same) << c.a << " / " << c.b;
}

namespace {

struct Wording {
    const char* now;
    const char* wake; // nullptr: the distant future
    const char* expected;
};

void expectWording(const Schedule& schedule,
                   QString (Schedule::*word)(const QDateTime&, const QDateTime&) const,
                   std::initializer_list<Wording> cases)
{
    for (const Wording& c : cases) {
        const QDateTime wake = c.wake ? when(kBerlin, c.wake) : distantFuture();
        EXPECT_EQ((schedule.*word)(wake, when(kBerlin, c.now)).toStdString(), c.expected)
            << c.now << " -> " << (c.wake ? c.wake : "distant future");
    }
}

} // namespace

TEST(Schedule, WakeLabelCountsCalendarDaysInTheSchedulesZone)
{
    const char* sat = "2026-03-07 10:00:00";
    expectWording(
        scheduleIn(kBerlin), &Schedule::wakeLabel,
        {
            {sat, nullptr, "someday"},
            {sat, "2026-03-07 10:00:01", "tonight-ish"},
            {sat, "2026-03-07 23:59:59", "tonight-ish"},
            {sat, "2026-03-07 08:00:00", "tonight-ish"},
            {sat, "2026-03-08 00:00:00", "tomorrow"},
            {sat, "2026-03-07 23:30:00Z", "tomorrow"}, // already Sunday in Berlin
            {sat, "2026-03-10 09:00:00", "tuesday"},
            {sat, "2026-03-13 23:59:00", "friday"},
            {sat, "2026-03-14 00:00:00", "mar 14"},
            {sat, "2026-03-17 09:00:00", "mar 17"},
            {sat, "2026-03-05 09:00:00", "thursday"},
            {"2026-03-07 23:00:00", "2026-03-14 00:30:00", "mar 14"}, // 145.5 hours, yet seven days
            {"2026-03-24 23:00:00", "2026-03-31 00:30:00", "mar 31"}, // 144.5 hours over the spring change
            {"2026-10-25 00:30:00", "2026-10-25 23:30:00", "tonight-ish"},
            {"2026-10-25 00:30:00", "2026-10-26 00:00:00", "tomorrow"},
        });
}

TEST(Schedule, WakeLabelSpeaksTheSchedulesLocale)
{
    const char* sat = "2026-03-07 10:00:00";
    expectWording(scheduleIn(kBerlin, "en_GB"), &Schedule::wakeLabel,
                  {{sat, "2026-03-17 09:00:00", "17 mar"}});
    expectWording(scheduleIn(kBerlin, "de_DE"), &Schedule::wakeLabel,
                  {{sat, "2026-03-10 09:00:00", "dienstag"}, {sat, "2026-03-29 09:00:00", "29. März"}});
    expectWording(scheduleIn(kBerlin, "en_US"), &Schedule::wakeLabel,
                  {{sat, "2026-03-29 09:00:00", "mar 29"}});
}

TEST(Schedule, LaterSectionFollowsLocalDaysEvenOnLongDstDays)
{
    const char* sat = "2026-03-07 10:00:00";
    expectWording(scheduleIn(kBerlin), &Schedule::laterSection,
                  {
                      {sat, nullptr, "Someday"},
                      {sat, "2026-03-07 21:00:00", "Tonight-ish"},
                      {sat, "2026-03-08 09:00:00", "Tomorrow"},
                      {sat, "2026-03-09 09:00:00", "Further off"},
                      {sat, "2026-03-05 09:00:00", "Further off"},
                      {"2026-10-25 00:30:00", "2026-10-25 23:30:00", "Tonight-ish"},
                      {"2026-10-25 00:30:00", "2026-10-26 00:00:00", "Tomorrow"},
                  });
}

TEST(Schedule, IsoDayNeedsExactlyThreeNumbersAndARealDate)
{
    const struct {
        const char* zone;
        const char* text;
        const char* expected; // nullptr: nothing
    } cases[] = {
        {kBerlin, "2026-03-07", "2026-03-07 00:00:00"},
        {kBerlin, "2026-3-7", "2026-03-07 00:00:00"},
        {kBerlin, "2026--03-07", "2026-03-07 00:00:00"},
        {kBerlin, "-2026-03-07-", "2026-03-07 00:00:00"},
        {kBerlin, "2026-x-03-07", "2026-03-07 00:00:00"},
        {kBerlin, "2026-03", nullptr},
        {kBerlin, "2026-03-07-1", nullptr},
        {kBerlin, "2026-03- 7", nullptr},
        {kBerlin, "", nullptr},
        {kBerlin, "2026-02-30", nullptr},
        {kBerlin, "2026-03-29", "2026-03-28 23:00:00Z"},
        {kSaoPaulo, "2018-11-04", "2018-11-04 03:00:00Z"},
        {kHavana, "2026-11-01", "2026-11-01 04:00:00Z"},
    };
    for (const auto& c : cases) {
        const std::optional<QDateTime> day = scheduleIn(c.zone).isoDay(QString::fromLatin1(c.text));
        EXPECT_EQ(day ? iso(*day) : "nothing", c.expected ? iso(when(c.zone, c.expected)) : "nothing")
            << c.zone << " '" << c.text << "'";
    }
}

TEST(Schedule, DayTextIsTheZeroPaddedLocalDay)
{
    const Schedule schedule = scheduleIn(kBerlin);
    EXPECT_EQ(schedule.dayText(test::at(kBerlin, "2027-01-05 12:00:00")).toStdString(), "2027-01-05");
    EXPECT_EQ(schedule.dayText(test::at(kBerlin, "0999-02-03 12:00:00")).toStdString(), "0999-02-03");
    EXPECT_EQ(schedule.dayText(test::at("UTC", "2026-03-06 23:30:00")).toStdString(), "2026-03-07");
}
