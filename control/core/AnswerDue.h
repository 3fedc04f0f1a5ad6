#pragma once

#include "JobLines.h"

#include <cstdint>
#include <optional>

namespace lm {

// When a display answers an item job, in ms after it starts the job. The display moves the
// item one step per tick, a step being its window's width over the speed word's divisor, so
// these times do not depend on the width (give or take a tick of rounding).
struct AnswerDue {
    // None: that answer never comes (an empty text never reaches the left edge; a kind or
    // movement the display does not know starts nothing at all).
    std::optional<std::int64_t> nextMs;
    std::optional<std::int64_t> endMs;

    static AnswerDue of(const JobLines& job);
};

} // namespace lm
