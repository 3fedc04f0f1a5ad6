#pragma once

#include "VirtualClock.h"
#include "WallClock.h"

#include <cstdint>

namespace lm::test {

// The clocks of a computer on the virtual clock: steady time is the virtual time (plus any time
// the timers missed while a handler was held up), real time runs at a settable distance from it
// (a step moves it), boot time gains what the computer slept, and the kernel's state of the
// clock is whatever the test says.
class VirtualWallClock : public WallClock {
public:
    // A real-time clock some day in 2026, so that instants look like those of a wall.
    static constexpr std::int64_t startRealUs = 1'780'000'000'000'000;

    explicit VirtualWallClock(const VirtualClock& clock) : m_clock(clock) {}

    std::int64_t steadyUs() const override { return m_clock.now() * 1000 + heldUpUs; }
    std::int64_t realUs() const override { return steadyUs() + realOffsetUs; }
    std::int64_t bootUs() const override { return steadyUs() + sleptUs; }
    ClockState state() const override { return kernelState; }

    std::int64_t heldUpUs = 0;
    std::int64_t realOffsetUs = startRealUs;
    std::int64_t sleptUs = 0;
    ClockState kernelState{true, 500};

private:
    const VirtualClock& m_clock;
};

} // namespace lm::test
