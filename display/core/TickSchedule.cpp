#include "TickSchedule.h"

namespace lm {

void TickSchedule::start(std::int64_t steadyUs, std::int64_t realUs, int intervalMs) {
    m_steadyUs = steadyUs;
    m_realUs = realUs;
    m_intervalUs = static_cast<std::int64_t>(intervalMs) * 1000;
    m_done = 0;
}

int TickSchedule::msUntilNext(std::int64_t nowSteadyUs) const {
    const std::int64_t left = steadyAt(m_done + 1) - nowSteadyUs;
    return left <= 0 ? 0 : static_cast<int>((left + 999) / 1000);
}

} // namespace lm
