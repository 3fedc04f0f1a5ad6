#pragma once

#include "WallClock.h"

#include <cstdint>

namespace lm {

// A real-time clock that reads another time, to rehearse a week plan without waiting for it:
// from the instant `sinceUs` of the base's real-time clock it reads `readsUs`, and runs `rate`
// times as fast. The steady clocks are the base's, so every timer keeps its pace.
class ShiftedClock : public WallClock {
public:
    ShiftedClock(const WallClock& base, std::int64_t readsUs, std::int64_t sinceUs, int rate);

    std::int64_t steadyUs() const override { return m_base.steadyUs(); }
    std::int64_t realUs() const override;
    std::int64_t bootUs() const override { return m_base.bootUs(); }
    ClockState state() const override { return m_base.state(); }

private:
    const WallClock& m_base;
    std::int64_t m_readsUs = 0;
    std::int64_t m_sinceUs = 0;
    int m_rate = 1;
};

} // namespace lm
