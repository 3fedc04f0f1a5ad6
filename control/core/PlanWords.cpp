#include "PlanWords.h"

#include <cstdio>

namespace lm::planWords {

namespace {

constexpr std::int64_t secondsPerDay = 86'400;

// Local seconds since 1970 of an instant in µs of UTC.
std::int64_t localSeconds(const TimeZone& zone, std::int64_t utcUs) {
    const std::int64_t seconds = utcUs / 1'000'000 - (utcUs % 1'000'000 < 0 ? 1 : 0);
    return zone.toLocal(seconds);
}

std::int64_t dayOf(std::int64_t localSeconds) {
    return localSeconds / secondsPerDay - (localSeconds % secondsPerDay < 0 ? 1 : 0);
}

} // namespace

std::string days(unsigned days) {
    if ((days & planDays::all) == planDays::all) {
        return "毎日";
    }
    std::string text;
    for (int day = 0; day < 7; ++day) {
        if ((days & planDays::bit(day)) != 0) {
            text += dayNames[static_cast<std::size_t>(day)];
        }
    }
    return text;
}

std::string clock(int minute) {
    char text[8];
    std::snprintf(text, sizeof text, "%02d:%02d", (minute / 60) % 100, minute % 60);
    return text;
}

std::string hours(const PlanHours& hours) {
    if (hours.from == 0 && hours.to == minutesPerDay) {
        return "終日";
    }
    return clock(hours.from) + "〜" + (hours.pastMidnight() ? "翌" : "") + clock(hours.to);
}

std::string date(std::chrono::year_month_day date) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d/%02u/%02u", static_cast<int>(date.year()) % 10000,
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()));
    return text;
}

std::string dates(std::chrono::year_month_day first, std::chrono::year_month_day last) {
    return first == last ? date(first) : date(first) + "〜" + date(last);
}

std::string run(const PlanRun& run) {
    return run.blank ? "表示なし" : run.showFile;
}

std::string weekly(const WeeklyEntry& entry) {
    return "毎週 " + days(entry.days) + " " + hours(entry.hours) + " " + run(entry.run);
}

std::string dated(const DatedEntry& entry) {
    return dates(entry.first, entry.last) + " " + hours(entry.hours) + " " + run(entry.run);
}

std::string shown(const PlanRun& run) {
    return run.blank ? "表示なし" : "「" + run.showFile + "」";
}

std::string at(const TimeZone& zone, std::int64_t utcUs, std::int64_t nowUs) {
    const std::int64_t local = localSeconds(zone, utcUs);
    const std::int64_t day = dayOf(local);
    const std::string time = clock(static_cast<int>((local - day * secondsPerDay) / 60));
    if (day == dayOf(localSeconds(zone, nowUs))) {
        return time;
    }
    const std::chrono::sys_days date{std::chrono::days(day)};
    return planWords::date(std::chrono::year_month_day(date)) + " " + time;
}

} // namespace lm::planWords
