#pragma once

#include "WeekPlan.h"

#include <cstdint>
#include <optional>
#include <string>

namespace lm {

// Two entries of one kind that would be in force at once.
struct PlanOverlap {
    bool dated = false;
    int first = 0; // the entry that comes first in the plan
    int second = 0;
    // Where they first meet, in minutes of local time: from Monday 00:00 for weekly entries, from
    // 1970-01-01 00:00 for dated ones.
    std::int64_t atMinute = 0;

    friend bool operator==(const PlanOverlap&, const PlanOverlap&) = default;
};

// The rule that makes a plan's answer unique: at any local time, at most one weekly entry and
// at most one dated entry. A dated entry may lie over the week: in force, it goes before it.
namespace planCheck {

// The first pair that breaks the rule, in plan order of the later entry; none when it holds.
std::optional<PlanOverlap> firstOverlap(const WeekPlan& plan);

// The refusal for the operator, naming both entries and where they meet.
std::string words(const WeekPlan& plan, const PlanOverlap& overlap);

} // namespace planCheck
} // namespace lm
