#pragma once

#include "ClockState.h"
#include "WallClock.h"

#include <cstdint>
#include <optional>

namespace lm {

// Whether this computer's real-time clock can be set against its steady clock just now. After
// the real-time clock was stepped, or the computer slept, an instant on the real-time clock
// lands elsewhere on the steady clock than a moment before, and another computer may not have
// seen the step yet: for a while the display starts items as they arrive, and its records say
// its clock is not synchronised.
class ClockWatch {
public:
    // A time service slews by at most 0.5 ms a second; anything faster is a step.
    static constexpr std::int64_t stepUs = 10'000;
    static constexpr std::int64_t slewUsPerSecond = 500;
    static constexpr std::int64_t distrustUs = 10'000'000;

    explicit ClockWatch(const WallClock& clock) : m_clock(clock) {}

    const WallClock& clock() const { return m_clock; }
    // Compares the clocks with the last sample: at each job start and presence refresh.
    void sample();
    // No step or sleep was seen within the last distrustUs.
    bool isSettled() const;
    // What this display's records say of its clock.
    ClockState state() const;

private:
    struct Sample {
        std::int64_t steadyUs = 0;
        std::int64_t realOffsetUs = 0; // real − steady
        std::int64_t bootOffsetUs = 0; // boot − steady: grows by the time asleep
    };

    const WallClock& m_clock;
    std::optional<Sample> m_last;
    std::optional<std::int64_t> m_distrustUntilUs;
};

} // namespace lm
