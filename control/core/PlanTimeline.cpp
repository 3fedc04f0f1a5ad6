#include "PlanTimeline.h"

#include <algorithm>

namespace lm {

namespace {

using std::chrono::sys_days;

constexpr std::int64_t usPerSecond = 1'000'000;
constexpr std::int64_t secondsPerDay = 86'400;
// With no dated entry left to come, two weeks without a change mean the week never changes:
// one week alone might be the one in which the clock skipped the only entry.
constexpr std::int64_t quietDays = 15;

std::int64_t dayNumber(std::chrono::year_month_day date) {
    return sys_days(date).time_since_epoch().count();
}

std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0);
}

// The ends of the spans, in order, that lie in [from, to).
std::vector<std::int64_t> endsWithin(const auto& spans, std::int64_t from, std::int64_t to) {
    std::vector<std::int64_t> ends;
    for (const auto& span : spans) {
        for (const std::int64_t end : {span.fromUs, span.toUs}) {
            if (end >= from && end < to) {
                ends.push_back(end);
            }
        }
    }
    std::sort(ends.begin(), ends.end());
    ends.erase(std::unique(ends.begin(), ends.end()), ends.end());
    return ends;
}

} // namespace

PlanTimeline::PlanTimeline(WeekPlan plan, const TimeZone& zone)
    : m_plan(std::move(plan)), m_zone(zone) {
    for (std::size_t i = 0; i < m_plan.dated.size(); ++i) {
        const std::int64_t first = dayNumber(m_plan.dated[i].first);
        const std::int64_t last = dayNumber(m_plan.dated[i].last);
        m_firstDatedDay = i == 0 ? first : std::min(m_firstDatedDay, first);
        m_lastDatedDay = i == 0 ? last : std::max(m_lastDatedDay, last);
    }
}

std::int64_t PlanTimeline::localDay(std::int64_t utcUs) const {
    return floorDiv(m_zone.toLocal(floorDiv(utcUs, usPerSecond)), secondsPerDay);
}

std::int64_t PlanTimeline::instantOf(std::int64_t day, std::int64_t minute) const {
    return m_zone.toUtc(day * secondsPerDay + minute * 60) * usPerSecond;
}

std::vector<PlanTimeline::Span> PlanTimeline::spans(std::int64_t firstDay,
                                                    std::int64_t lastDay) const {
    std::vector<Span> spans;
    const auto add = [&](std::int64_t day, const PlanHours& hours, PlanChoice choice) {
        const std::int64_t from = instantOf(day, hours.from);
        const std::int64_t to = instantOf(day, hours.from + hours.length());
        if (from < to) {
            spans.push_back({from, to, choice});
        }
    };
    for (std::int64_t day = firstDay; day <= lastDay; ++day) {
        const std::chrono::weekday weekday{sys_days(std::chrono::days(day))};
        const unsigned bit = planDays::bit(planDays::mondayFirst(weekday));
        for (std::size_t i = 0; i < m_plan.weekly.size(); ++i) {
            if ((m_plan.weekly[i].days & bit) != 0) {
                add(day, m_plan.weekly[i].hours, {PlanChoice::Source::Weekly, static_cast<int>(i)});
            }
        }
        for (std::size_t i = 0; i < m_plan.dated.size(); ++i) {
            const DatedEntry& entry = m_plan.dated[i];
            if (day >= dayNumber(entry.first) && day <= dayNumber(entry.last)) {
                add(day, entry.hours, {PlanChoice::Source::Dated, static_cast<int>(i)});
            }
        }
    }
    return spans;
}

PlanChoice PlanTimeline::choiceIn(const std::vector<Span>& spans, std::int64_t utcUs) {
    PlanChoice best;
    const auto rank = [](const PlanChoice& choice) {
        return std::pair(static_cast<int>(choice.source), -choice.index);
    };
    for (const Span& span : spans) {
        if (span.fromUs <= utcUs && utcUs < span.toUs && rank(span.choice) > rank(best)) {
            best = span.choice;
        }
    }
    return best;
}

PlanChoice PlanTimeline::choiceAt(std::int64_t utcUs) const {
    // A span covering the instant started on its local day or the day before; a day more on
    // each side covers a clock turned back over midnight.
    const std::int64_t day = localDay(utcUs);
    return choiceIn(spans(day - 2, day + 1), utcUs);
}

const PlanRun& PlanTimeline::run(PlanChoice choice) const {
    switch (choice.source) {
    case PlanChoice::Source::Weekly:
        return m_plan.weekly.at(static_cast<std::size_t>(choice.index)).run;
    case PlanChoice::Source::Dated:
        return m_plan.dated.at(static_cast<std::size_t>(choice.index)).run;
    case PlanChoice::Source::Otherwise:
        break;
    }
    return m_plan.otherwise;
}

std::optional<std::int64_t> PlanTimeline::nextChange(std::int64_t utcUs) const {
    const PlanChoice now = choiceAt(utcUs);
    const std::int64_t today = localDay(utcUs);
    const std::int64_t lastDay = std::max(today, m_lastDatedDay) + quietDays;
    // A week at a time: the instants in [from, to), with the spans that can cover them.
    std::int64_t from = utcUs + 1;
    for (std::int64_t week = today - 1; week <= lastDay; week += 7) {
        const std::int64_t to = instantOf(week + 7, 0);
        const std::vector<Span> near = spans(week - 3, week + 8);
        for (const std::int64_t end : endsWithin(near, from, to)) {
            if (choiceIn(near, end) != now) {
                return end;
            }
        }
        from = std::max(from, to);
    }
    return std::nullopt;
}

std::optional<std::int64_t> PlanTimeline::lastChange(std::int64_t utcUs) const {
    const PlanChoice now = choiceAt(utcUs);
    const std::int64_t today = localDay(utcUs);
    const std::int64_t firstDay = std::min(today, m_firstDatedDay) - quietDays;
    // A week at a time backwards: the instants in [from, to).
    std::int64_t to = utcUs + 1;
    for (std::int64_t week = today + 1; week >= firstDay; week -= 7) {
        const std::int64_t from = instantOf(week - 7, 0);
        const std::vector<Span> near = spans(week - 10, week + 1);
        std::vector<std::int64_t> ends = endsWithin(near, from, to);
        for (auto end = ends.rbegin(); end != ends.rend(); ++end) {
            if (choiceIn(near, *end - 1) != now) {
                return *end;
            }
        }
        to = std::min(to, from);
    }
    return std::nullopt;
}

} // namespace lm
