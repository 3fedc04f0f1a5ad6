#pragma once

#include "Vocabulary.h"

#include <chrono>
#include <string>
#include <vector>

namespace lm {

inline constexpr int minutesPerDay = 24 * 60;

// What a plan entry runs: a show file with the settings it runs with, since a show file holds
// only its items; or nothing, the displays stopped.
struct PlanRun {
    bool blank = true;
    // As written in the plan; a relative path is taken from the plan file's folder.
    std::string showFile;
    // The settings of the show, in the words of the window's lists (ComboTMove, ComboTSpeed,
    // ComboNum and Check1).
    std::string movement{vocabulary::moveStill};
    std::string speed{vocabulary::defaultSpeed};
    std::string displayCount = "16";
    bool repeat = true;

    friend bool operator==(const PlanRun&, const PlanRun&) = default;
};

// The hours of an entry on each of its days, in minutes of local time: `from` 0 to 1439, `to`
// 1 to 1440. An end not after the start lies on the next day (22:00 to 02:00).
struct PlanHours {
    int from = 0;
    int to = minutesPerDay;

    bool pastMidnight() const { return to <= from; }
    int length() const { return pastMidnight() ? to + minutesPerDay - from : to - from; }

    friend bool operator==(const PlanHours&, const PlanHours&) = default;
};

// Days of the week as bits, Monday the lowest.
namespace planDays {
inline constexpr unsigned all = 0x7FU;
// The bit of a weekday (Monday 0 ... Sunday 6).
constexpr unsigned bit(int mondayFirst) {
    return 1U << static_cast<unsigned>(mondayFirst);
}
constexpr int mondayFirst(std::chrono::weekday day) {
    return static_cast<int>(day.iso_encoding()) - 1;
}
} // namespace planDays

// Every week on the given days.
struct WeeklyEntry {
    unsigned days = 0;
    PlanHours hours;
    PlanRun run;

    friend bool operator==(const WeeklyEntry&, const WeeklyEntry&) = default;
};

// On each date from `first` to `last`: holidays, events, a closing day. In force, it goes
// before the week.
struct DatedEntry {
    std::chrono::year_month_day first{};
    std::chrono::year_month_day last{};
    PlanHours hours;
    PlanRun run;

    friend bool operator==(const DatedEntry&, const DatedEntry&) = default;
};

// The week plan: what the wall runs at each hour of the week and on given dates, and what it
// runs when no entry is in force. At most one weekly and one dated entry may be in force at a
// time (planCheck).
struct WeekPlan {
    std::vector<WeeklyEntry> weekly;
    std::vector<DatedEntry> dated;
    PlanRun otherwise;

    friend bool operator==(const WeekPlan&, const WeekPlan&) = default;
};

} // namespace lm
