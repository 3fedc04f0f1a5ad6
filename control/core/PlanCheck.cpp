#include "PlanCheck.h"

#include "PlanWords.h"

#include <algorithm>
#include <vector>

namespace lm::planCheck {

namespace {

using std::chrono::sys_days;

constexpr std::int64_t minutesPerWeek = 7 * minutesPerDay;

// A stretch of local minutes [from, to).
struct Piece {
    std::int64_t from = 0;
    std::int64_t to = 0;
};

// The minutes of the week the entry covers, from Monday 00:00; a span past Sunday midnight goes
// on at Monday 00:00.
std::vector<Piece> weekPieces(const WeeklyEntry& entry) {
    std::vector<Piece> pieces;
    for (int day = 0; day < 7; ++day) {
        if ((entry.days & planDays::bit(day)) == 0) {
            continue;
        }
        const std::int64_t from = day * minutesPerDay + entry.hours.from;
        const std::int64_t to = from + entry.hours.length();
        if (to <= minutesPerWeek) {
            pieces.push_back({from, to});
        } else {
            pieces.push_back({from, minutesPerWeek});
            pieces.push_back({0, to - minutesPerWeek});
        }
    }
    std::sort(pieces.begin(), pieces.end(),
              [](const Piece& a, const Piece& b) { return a.from < b.from; });
    return pieces;
}

std::int64_t dayNumber(std::chrono::year_month_day date) {
    return sys_days(date).time_since_epoch().count();
}

// The minutes the entry covers on the days from `firstDay` to `lastDay` (days since 1970).
std::vector<Piece> datedPieces(const DatedEntry& entry, std::int64_t firstDay,
                               std::int64_t lastDay) {
    std::vector<Piece> pieces;
    const std::int64_t from = std::max(firstDay, dayNumber(entry.first));
    const std::int64_t to = std::min(lastDay, dayNumber(entry.last));
    for (std::int64_t day = from; day <= to; ++day) {
        const std::int64_t start = day * minutesPerDay + entry.hours.from;
        pieces.push_back({start, start + entry.hours.length()});
    }
    return pieces;
}

// The earliest minute both cover; each list sorted, its pieces apart from one another.
std::optional<std::int64_t> firstCommon(const std::vector<Piece>& a, const std::vector<Piece>& b) {
    std::optional<std::int64_t> first;
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        const std::int64_t from = std::max(a[i].from, b[j].from);
        if (from < std::min(a[i].to, b[j].to)) {
            first = std::min(first.value_or(from), from);
        }
        if (a[i].to < b[j].to) {
            ++i;
        } else {
            ++j;
        }
    }
    return first;
}

std::optional<std::int64_t> datedCommon(const DatedEntry& a, const DatedEntry& b) {
    // A span past midnight reaches into the day after its last date.
    const std::int64_t firstDay = std::max(dayNumber(a.first), dayNumber(b.first)) - 1;
    const std::int64_t lastDay = std::min(dayNumber(a.last), dayNumber(b.last)) + 1;
    if (firstDay > lastDay) {
        return std::nullopt;
    }
    return firstCommon(datedPieces(a, firstDay, lastDay), datedPieces(b, firstDay, lastDay));
}

std::string where(const PlanOverlap& overlap) {
    const auto minute = static_cast<int>(overlap.atMinute % minutesPerDay);
    if (overlap.dated) {
        const sys_days day{std::chrono::days(overlap.atMinute / minutesPerDay)};
        return planWords::date(std::chrono::year_month_day(day)) + " " + planWords::clock(minute);
    }
    const auto day = static_cast<std::size_t>(overlap.atMinute / minutesPerDay);
    return std::string(planWords::dayNames.at(day)) + " " + planWords::clock(minute);
}

} // namespace

std::optional<PlanOverlap> firstOverlap(const WeekPlan& plan) {
    std::vector<std::vector<Piece>> week;
    for (const WeeklyEntry& entry : plan.weekly) {
        week.push_back(weekPieces(entry));
    }
    for (std::size_t second = 1; second < week.size(); ++second) {
        for (std::size_t first = 0; first < second; ++first) {
            if (const std::optional<std::int64_t> at = firstCommon(week[first], week[second])) {
                return PlanOverlap{false, static_cast<int>(first), static_cast<int>(second), *at};
            }
        }
    }
    for (std::size_t second = 1; second < plan.dated.size(); ++second) {
        for (std::size_t first = 0; first < second; ++first) {
            if (const std::optional<std::int64_t> at =
                    datedCommon(plan.dated[first], plan.dated[second])) {
                return PlanOverlap{true, static_cast<int>(first), static_cast<int>(second), *at};
            }
        }
    }
    return std::nullopt;
}

std::string words(const WeekPlan& plan, const PlanOverlap& overlap) {
    const auto entry = [&](int index) {
        const auto at = static_cast<std::size_t>(index);
        return overlap.dated ? planWords::dated(plan.dated.at(at))
                             : planWords::weekly(plan.weekly.at(at));
    };
    return "「" + entry(overlap.first) + "」と「" + entry(overlap.second) + "」は、" +
           where(overlap) + " から重なっています。同じ種類の予定は、同じ時刻に一つだけです。";
}

} // namespace lm::planCheck
