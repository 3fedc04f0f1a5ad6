#pragma once

#include "VirtualClock.h"
#include "WallClock.h"

#include <cstdint>

namespace lm::test {

// The clocks of a program whose timers run on a virtual clock: steady time is the virtual
// time, real time the same shifted by an offset (UTC µs), and the kernel's clock state is what
// the test sets. A test may step the real-time clock, or hold a handler up: time then passes
// on both clocks that the timers never saw.
class VirtualWallClock : public WallClock {
public:
    static constexpr std::int64_t defaultRealUs = 1'765'000'000'000'000; // 2025-12-06

    explicit VirtualWallClock(const VirtualClock& clock, std::int64_t realAtZeroUs = defaultRealUs)
        : m_clock(clock), m_realAtZeroUs(realAtZeroUs) {}

    std::int64_t steadyUs() const override { return m_clock.now() * 1000 + m_heldUpUs; }
    std::int64_t realUs() const override { return m_realAtZeroUs + steadyUs(); }
    std::int64_t bootUs() const override { return steadyUs(); }
    ClockState state() const override { return m_state; }

    void setState(ClockState state) { m_state = state; }
    void stepReal(std::int64_t us) { m_realAtZeroUs += us; }
    void holdUp(std::int64_t us) { m_heldUpUs += us; }

private:
    const VirtualClock& m_clock;
    std::int64_t m_realAtZeroUs = 0;
    std::int64_t m_heldUpUs = 0;
    ClockState m_state{true, 500};
};

} // namespace lm::test
