#pragma once

#include "TimeZone.h"
#include "WeekPlan.h"

#include <array>
#include <chrono>
#include <string>
#include <string_view>

namespace lm {

// How the plan's entries read to the operator, in the dialog and in the plan's refusals.
namespace planWords {

inline constexpr std::array<std::string_view, 7> dayNames{"月", "火", "水", "木", "金", "土", "日"};

// "月火水木金", "毎日" for every day.
std::string days(unsigned days);
// "09:05"; the end of a day is "24:00".
std::string clock(int minute);
// "終日", "09:00〜17:00", "22:00〜翌02:00".
std::string hours(const PlanHours& hours);
// "2025/12/24".
std::string date(std::chrono::year_month_day date);
// "2025/12/24", or "2025/12/24〜2025/12/26".
std::string dates(std::chrono::year_month_day first, std::chrono::year_month_day last);
// "表示なし", or the show file as written.
std::string run(const PlanRun& run);
// "毎週 土日 22:00〜翌02:00 表示なし".
std::string weekly(const WeeklyEntry& entry);
// "2025/12/24〜2025/12/26 18:00〜23:00 xmas.txt".
std::string dated(const DatedEntry& entry);
// What an entry shows, as a line of the control window says it: "「夜.txt」", "表示なし".
std::string shown(const PlanRun& run);
// The local time of an instant (µs of UTC) in the zone: "18:00", with its date before it when
// it falls on another day than `nowUs`: "2025/12/24 18:00".
std::string at(const TimeZone& zone, std::int64_t utcUs, std::int64_t nowUs);

} // namespace planWords
} // namespace lm
