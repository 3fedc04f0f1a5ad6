#include "PlanTimeline.h"

#include "PlanCheck.h"
#include "PlanFile.h"
#include "QtTimeZone.h"

#include <QDateTime>
#include <QTimeZone>
#include <gtest/gtest.h>
#include <random>

namespace lm {
namespace {

using namespace std::chrono;
using Source = PlanChoice::Source;

constexpr std::int64_t usPerMinute = 60'000'000;

std::int64_t dayOf(int y, unsigned m, unsigned d) {
    return sys_days(year_month_day{year(y), month(m), day(d)}).time_since_epoch().count();
}

// An instant in UTC, in µs.
std::int64_t utc(int y, unsigned m, unsigned d, int hour, int minute) {
    return ((dayOf(y, m, d) * 24 + hour) * 60 + minute) * usPerMinute;
}

PlanRun show(std::string file) {
    PlanRun run;
    run.blank = false;
    run.showFile = std::move(file);
    return run;
}

WeeklyEntry weekly(unsigned days, int from, int to, PlanRun run = {}) {
    return {days, {from, to}, std::move(run)};
}

DatedEntry dated(year_month_day first, year_month_day last, int from, int to, PlanRun run = {}) {
    return {first, last, {from, to}, std::move(run)};
}

constexpr int h(int hour, int minute = 0) {
    return hour * 60 + minute;
}

constexpr unsigned mon = planDays::bit(0);
constexpr unsigned thu = planDays::bit(3);
constexpr unsigned fri = planDays::bit(4);
constexpr unsigned sun = planDays::bit(6);
constexpr unsigned monToFri = 0x1FU;

constexpr PlanChoice none{};
constexpr PlanChoice week0{Source::Weekly, 0};
constexpr PlanChoice dated0{Source::Dated, 0};

TEST(PlanTimeZoneTest, ALocalTimeTurnsIntoTheFirstInstantTheClockReadsIt) {
    struct Row {
        const char* what;
        const char* zone;
        std::int64_t local; // as if it were UTC
        std::int64_t expected;
    } const rows[] = {
        {"Tokyo has no changes", "Asia/Tokyo", utc(2025, 12, 6, 9, 0), utc(2025, 12, 6, 0, 0)},
        {"Berlin before spring", "Europe/Berlin", utc(2025, 3, 30, 1, 59), utc(2025, 3, 30, 0, 59)},
        {"Berlin inside the skipped hour", "Europe/Berlin", utc(2025, 3, 30, 2, 30),
         utc(2025, 3, 30, 1, 0)},
        {"Berlin just after it", "Europe/Berlin", utc(2025, 3, 30, 3, 0), utc(2025, 3, 30, 1, 0)},
        {"Berlin before the repeated hour", "Europe/Berlin", utc(2025, 10, 26, 1, 59),
         utc(2025, 10, 25, 23, 59)},
        {"Berlin inside it: its first pass", "Europe/Berlin", utc(2025, 10, 26, 2, 30),
         utc(2025, 10, 26, 0, 30)},
        {"Berlin once it is over", "Europe/Berlin", utc(2025, 10, 26, 3, 0),
         utc(2025, 10, 26, 2, 0)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const QtTimeZone zone(row.zone);
        ASSERT_TRUE(zone.isValid());
        EXPECT_EQ(zone.toUtc(row.local / 1'000'000) * 1'000'000, row.expected);
    }
    const QtTimeZone berlin("Europe/Berlin");
    EXPECT_EQ(berlin.toLocal(utc(2025, 10, 26, 1, 30) / 1'000'000) * 1'000'000,
              utc(2025, 10, 26, 2, 30))
        << "the second pass reads the same local time";
    EXPECT_EQ(berlin.nextTransition(utc(2025, 6, 1, 0, 0) / 1'000'000).value_or(0) * 1'000'000,
              utc(2025, 10, 26, 1, 0));
    EXPECT_EQ(QtTimeZone("Asia/Tokyo").nextTransition(utc(2025, 1, 1, 0, 0) / 1'000'000),
              std::nullopt);
}

TEST(PlanTimelineTest, BoundariesFallWhereTheLocalClockSays) {
    const year_month_day dec8{year(2025), month(12), day(8)};
    const year_month_day dec31{year(2025), month(12), day(31)};
    struct Row {
        const char* what;
        const char* zone;
        WeekPlan plan;
        std::int64_t at;
        PlanChoice choice;
        std::optional<std::int64_t> since;
        std::optional<std::int64_t> until;
    } const rows[] = {
        {"a Friday night runs past midnight into Saturday",
         "Asia/Tokyo",
         {{weekly(fri, h(22), h(2), show("night.txt"))}, {}, {}},
         utc(2025, 12, 5, 16, 0),
         week0,
         utc(2025, 12, 5, 13, 0),
         utc(2025, 12, 5, 17, 0)},
        {"a holiday on a Monday goes before the week",
         "Asia/Tokyo",
         {{weekly(monToFri, h(9), h(17), show("a.txt"))}, {dated(dec8, dec8, 0, h(24))}, {}},
         utc(2025, 12, 8, 1, 0),
         dated0,
         utc(2025, 12, 7, 15, 0),
         utc(2025, 12, 8, 15, 0)},
        {"the week again the day after the holiday",
         "Asia/Tokyo",
         {{weekly(monToFri, h(9), h(17), show("a.txt"))}, {dated(dec8, dec8, 0, h(24))}, {}},
         utc(2025, 12, 9, 1, 0),
         week0,
         utc(2025, 12, 9, 0, 0),
         utc(2025, 12, 9, 8, 0)},
        {"before the skipped hour",
         "Europe/Berlin",
         {{weekly(sun, h(2, 30), h(5), show("early.txt"))}, {}, {}},
         utc(2025, 3, 30, 0, 59),
         none,
         utc(2025, 3, 23, 4, 0),
         utc(2025, 3, 30, 1, 0)},
        {"a start inside the skipped hour starts at the change",
         "Europe/Berlin",
         {{weekly(sun, h(2, 30), h(5), show("early.txt"))}, {}, {}},
         utc(2025, 3, 30, 1, 30),
         week0,
         utc(2025, 3, 30, 1, 0),
         utc(2025, 3, 30, 3, 0)},
        {"an entry wholly inside the skipped hour waits a week",
         "Europe/Berlin",
         {{weekly(sun, h(2, 15), h(2, 45))}, {}, {}},
         utc(2025, 3, 30, 0, 0),
         none,
         utc(2025, 3, 23, 1, 45),
         utc(2025, 4, 6, 0, 15)},
        {"a start inside the repeated hour starts at its first pass",
         "Europe/Berlin",
         {{weekly(sun, h(2, 30), h(4), show("late.txt"))}, {}, {}},
         utc(2025, 10, 26, 0, 45),
         week0,
         utc(2025, 10, 26, 0, 30),
         utc(2025, 10, 26, 3, 0)},
        {"and runs on through the second pass",
         "Europe/Berlin",
         {{weekly(sun, h(2, 30), h(4), show("late.txt"))}, {}, {}},
         utc(2025, 10, 26, 1, 30),
         week0,
         utc(2025, 10, 26, 0, 30),
         utc(2025, 10, 26, 3, 0)},
        {"an entry that ended in the first pass does not run in the second",
         "Europe/Berlin",
         {{weekly(sun, h(1), h(2, 30), show("a.txt"))}, {}, {}},
         utc(2025, 10, 26, 1, 45),
         none,
         utc(2025, 10, 26, 0, 30),
         utc(2025, 11, 2, 0, 0)},
        {"a dated night past midnight goes before the Thursday after it",
         "Europe/Berlin",
         {{weekly(thu, 0, h(24), show("thursday.txt"))},
          {dated(dec31, dec31, h(22), h(2), show("newyear.txt"))},
          {}},
         utc(2025, 12, 31, 23, 30),
         dated0,
         utc(2025, 12, 31, 21, 0),
         utc(2026, 1, 1, 1, 0)},
        {"the Thursday takes over when the night ends",
         "Europe/Berlin",
         {{weekly(thu, 0, h(24), show("thursday.txt"))},
          {dated(dec31, dec31, h(22), h(2), show("newyear.txt"))},
          {}},
         utc(2026, 1, 1, 1, 0),
         week0,
         utc(2026, 1, 1, 1, 0),
         utc(2026, 1, 1, 23, 0)},
        {"a whole week of one entry never changes",
         "Asia/Tokyo",
         {{weekly(planDays::all, 0, h(24), show("always.txt"))}, {}, {}},
         utc(2025, 12, 6, 0, 0),
         week0,
         std::nullopt,
         std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const QtTimeZone zone(row.zone);
        const PlanTimeline timeline(row.plan, zone);
        EXPECT_EQ(timeline.choiceAt(row.at), row.choice);
        EXPECT_EQ(timeline.lastChange(row.at), row.since);
        EXPECT_EQ(timeline.nextChange(row.at), row.until);
    }
}

// The plan as a person reads it, a minute at a time: the highest time the wall clock has shown
// so far (so an hour it shows twice starts nothing again, and one it skips is passed at once),
// and the entries whose days and hours hold that time.
struct PlainReading {
    PlanChoice choice;
    int weeklyInForce = 0;
    int datedInForce = 0;
};

bool holds(const PlanHours& hours, bool onDay, bool onDayBefore, int minute) {
    const int end = hours.to <= hours.from ? h(24) : hours.to;
    return (onDay && hours.from <= minute && minute < end) ||
           (onDayBefore && hours.to <= hours.from && minute < hours.to);
}

bool weekdayIn(unsigned days, std::int64_t day) {
    const weekday wd{sys_days(std::chrono::days(day))};
    return (days & (1U << (wd.iso_encoding() - 1))) != 0;
}

bool dateIn(const DatedEntry& entry, std::int64_t day) {
    return day >= sys_days(entry.first).time_since_epoch().count() &&
           day <= sys_days(entry.last).time_since_epoch().count();
}

PlainReading read(const WeekPlan& plan, std::int64_t localMinute) {
    const std::int64_t day = localMinute / h(24);
    const auto minute = static_cast<int>(localMinute % h(24));
    PlainReading reading;
    for (std::size_t i = plan.weekly.size(); i-- > 0;) {
        const WeeklyEntry& entry = plan.weekly[i];
        if (holds(entry.hours, weekdayIn(entry.days, day), weekdayIn(entry.days, day - 1),
                  minute)) {
            reading.choice = {Source::Weekly, static_cast<int>(i)};
            ++reading.weeklyInForce;
        }
    }
    for (std::size_t i = plan.dated.size(); i-- > 0;) {
        const DatedEntry& entry = plan.dated[i];
        if (holds(entry.hours, dateIn(entry, day), dateIn(entry, day - 1), minute)) {
            ++reading.datedInForce;
        }
    }
    for (std::size_t i = 0; i < plan.dated.size() && reading.datedInForce > 0; ++i) {
        const DatedEntry& entry = plan.dated[i];
        if (holds(entry.hours, dateIn(entry, day), dateIn(entry, day - 1), minute)) {
            reading.choice = {Source::Dated, static_cast<int>(i)};
        }
    }
    return reading;
}

// The first local minute at which both refused entries hold, read as above.
std::optional<std::int64_t> firstShared(const WeekPlan& plan, const PlanOverlap& overlap) {
    const auto both = [&](std::int64_t minute) {
        WeekPlan one = plan;
        WeekPlan two = plan;
        if (overlap.dated) {
            one = {{}, {plan.dated[static_cast<std::size_t>(overlap.first)]}, {}};
            two = {{}, {plan.dated[static_cast<std::size_t>(overlap.second)]}, {}};
            return read(one, minute).datedInForce + read(two, minute).datedInForce == 2;
        }
        one = {{plan.weekly[static_cast<std::size_t>(overlap.first)]}, {}, {}};
        two = {{plan.weekly[static_cast<std::size_t>(overlap.second)]}, {}, {}};
        return read(one, minute).weeklyInForce + read(two, minute).weeklyInForce == 2;
    };
    // 1970-01-05 was a Monday: the week's minutes from Monday 00:00 read on that week.
    const std::int64_t from = overlap.dated ? dayOf(2025, 1, 1) * h(24) : 4 * h(24);
    const std::int64_t to = overlap.dated ? dayOf(2027, 1, 1) * h(24) : from + 7 * h(24);
    for (std::int64_t minute = from; minute < to; ++minute) {
        if (both(minute)) {
            return overlap.dated ? minute : minute - from;
        }
    }
    return std::nullopt;
}

class RandomPlans {
public:
    RandomPlans(unsigned seed, std::int64_t firstDay) : m_random(seed), m_firstDay(firstDay) {}

    // Hours on five-minute steps, often around 02:00 where the clock is changed.
    PlanHours hours() {
        if (pick(4) == 0) {
            return {0, h(24)};
        }
        const auto clock = [&] {
            return pick(3) == 0 ? h(1) + 15 * pick(13) : 5 * pick(h(24) / 5);
        };
        PlanHours hours{clock(), clock()};
        hours.to = hours.to == 0 ? h(24) : hours.to;
        return hours.to == hours.from ? PlanHours{hours.from, h(24)} : hours;
    }
    PlanRun run() {
        if (pick(3) == 0) {
            return {};
        }
        PlanRun run = show("show" + std::to_string(pick(100)) + ".txt");
        run.movement = vocabulary::movementWords[static_cast<std::size_t>(pick(2))];
        run.speed = vocabulary::speedWords[static_cast<std::size_t>(pick(5))];
        run.displayCount = std::to_string(1 + pick(16));
        run.repeat = pick(2) == 0;
        return run;
    }
    WeeklyEntry weeklyEntry() { return {static_cast<unsigned>(1 + pick(127)), hours(), run()}; }
    DatedEntry datedEntry() {
        const sys_days first{std::chrono::days(m_firstDay + pick(16))};
        return {year_month_day(first), year_month_day(first + std::chrono::days(pick(3))), hours(),
                run()};
    }

    int pick(int count) { return std::uniform_int_distribution<int>(0, count - 1)(m_random); }

private:
    std::mt19937 m_random;
    std::int64_t m_firstDay;
};

// Every minute of two weeks around a change of the clock, for random plans: the entry in force
// is the one the plain reading gives, the reading never finds two of a kind, and the changes
// and their instants are where the reading changes.
TEST(PlanTimelineTest, RandomPlansRunAsThePlainReadingOfThemSays) {
    struct Period {
        const char* zone;
        std::int64_t firstDay;
    } const periods[] = {
        {"Europe/Berlin", dayOf(2025, 3, 23)},
        {"Europe/Berlin", dayOf(2025, 10, 19)},
        {"Asia/Tokyo", dayOf(2025, 12, 1)},
    };
    unsigned seed = 1;
    for (const Period& period : periods) {
        const QtTimeZone zone(period.zone);
        const QTimeZone qzone(period.zone);
        // The local minute the clock reads at each UTC minute, and the highest read so far.
        const std::int64_t firstMinute = period.firstDay * h(24);
        std::vector<std::int64_t> highest;
        for (std::int64_t minute = firstMinute; minute < firstMinute + 15 * h(24); ++minute) {
            const QDateTime at = QDateTime::fromSecsSinceEpoch(minute * 60, QTimeZone::utc());
            const std::int64_t local = minute + qzone.offsetFromUtc(at) / 60;
            highest.push_back(highest.empty() ? local : std::max(highest.back(), local));
        }
        for (int round = 0; round < 25; ++round, ++seed) {
            SCOPED_TRACE(std::string(period.zone) + " seed " + std::to_string(seed));
            RandomPlans random(seed, period.firstDay);
            WeekPlan plan;
            plan.otherwise = random.run();
            for (int tries = random.pick(8); tries > 0; --tries) {
                const bool dated = random.pick(3) == 0;
                WeekPlan more = plan;
                if (dated) {
                    more.dated.push_back(random.datedEntry());
                } else {
                    more.weekly.push_back(random.weeklyEntry());
                }
                if (const std::optional<PlanOverlap> overlap = planCheck::firstOverlap(more)) {
                    // A refusal names two entries that the plain reading finds in force at once.
                    EXPECT_EQ(overlap->dated, dated);
                    EXPECT_EQ(overlap->second,
                              static_cast<int>(dated ? plan.dated.size() : plan.weekly.size()));
                    EXPECT_EQ(firstShared(more, *overlap), overlap->atMinute);
                } else {
                    plan = more;
                }
            }
            EXPECT_EQ(planFile::parse(planFile::encode(plan)).plan, plan);

            const PlanTimeline timeline(plan, zone);
            std::vector<std::int64_t> changes; // UTC minutes
            PlanChoice before;
            for (std::size_t i = 0; i < highest.size(); ++i) {
                const PlainReading reading = read(plan, highest[i]);
                ASSERT_LE(reading.weeklyInForce, 1);
                ASSERT_LE(reading.datedInForce, 1);
                const std::int64_t minute = firstMinute + static_cast<std::int64_t>(i);
                if (i > 0 && reading.choice != before) {
                    changes.push_back(minute);
                    ASSERT_EQ(timeline.choiceAt(minute * usPerMinute - 1), before);
                }
                if (i % 5 == 0 || (i > 0 && reading.choice != before)) {
                    ASSERT_EQ(timeline.choiceAt(minute * usPerMinute), reading.choice)
                        << "minute " << i;
                }
                before = reading.choice;
            }
            for (std::size_t i = 0; i < changes.size(); ++i) {
                const std::int64_t at = changes[i] * usPerMinute;
                const std::int64_t next =
                    i + 1 < changes.size() ? changes[i + 1] * usPerMinute : at;
                if (i + 1 < changes.size()) {
                    EXPECT_EQ(timeline.nextChange(at), next);
                    EXPECT_EQ(timeline.lastChange(next - 1), at);
                }
                EXPECT_EQ(timeline.lastChange(at), at);
                EXPECT_EQ(timeline.nextChange(at - 1), at);
            }
        }
    }
}

} // namespace
} // namespace lm
