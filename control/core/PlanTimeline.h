#pragma once

#include "TimeZone.h"
#include "WeekPlan.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace lm {

// The entry of a plan in force: a dated one, a weekly one, or none, when the plan's
// `otherwise` runs.
struct PlanChoice {
    enum class Source { Otherwise, Weekly, Dated };

    Source source = Source::Otherwise;
    int index = -1; // into the plan's weekly or dated entries; -1 for Otherwise

    friend bool operator==(const PlanChoice&, const PlanChoice&) = default;
};

// A plan laid on real time in a time zone. Instants are µs of the real-time clock (UTC), as
// WallClock::realUs() gives them; the plan knows no clock of its own, so a test runs a week in
// milliseconds and a clock stepped either way is asked afresh.
//
// Each start and end of an entry is a local time. Where the clock skips it (spring forward),
// it falls on the change; where the clock reads it twice (autumn), on its first pass. So an
// entry wholly inside a skipped hour does not run that day, and none runs twice.
class PlanTimeline {
public:
    // The plan must keep to planCheck's rule; where it does not, the first entry of a kind wins.
    PlanTimeline(WeekPlan plan, const TimeZone& zone);

    const WeekPlan& plan() const { return m_plan; }

    PlanChoice choiceAt(std::int64_t utcUs) const;
    // What the choice runs.
    const PlanRun& run(PlanChoice choice) const;
    // The first instant after utcUs at which another entry is in force; none when that never
    // happens.
    std::optional<std::int64_t> nextChange(std::int64_t utcUs) const;
    // The instant from which the entry in force at utcUs has been in force; none when it always
    // has been.
    std::optional<std::int64_t> lastChange(std::int64_t utcUs) const;

private:
    // One day's run of an entry, [fromUs, toUs) in UTC.
    struct Span {
        std::int64_t fromUs = 0;
        std::int64_t toUs = 0;
        PlanChoice choice;
    };

    // The spans of the entries that start on the local days from `firstDay` to `lastDay` (days
    // since 1970), none of them empty.
    std::vector<Span> spans(std::int64_t firstDay, std::int64_t lastDay) const;
    static PlanChoice choiceIn(const std::vector<Span>& spans, std::int64_t utcUs);
    std::int64_t localDay(std::int64_t utcUs) const;
    // The instant the local clock first reads that minute of that day.
    std::int64_t instantOf(std::int64_t day, std::int64_t minute) const;

    WeekPlan m_plan;
    const TimeZone& m_zone;
    // The days of the first and the last dated entry (since 1970); past them only the week
    // repeats.
    std::int64_t m_firstDatedDay = 0;
    std::int64_t m_lastDatedDay = 0;
};

} // namespace lm
