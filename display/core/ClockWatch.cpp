#include "ClockWatch.h"

#include <cstdlib>

namespace lm {

void ClockWatch::sample() {
    Sample now;
    now.steadyUs = m_clock.steadyUs();
    now.realOffsetUs = m_clock.realUs() - now.steadyUs;
    now.bootOffsetUs = m_clock.bootUs() - now.steadyUs;
    if (m_last) {
        const std::int64_t allowed =
            stepUs + slewUsPerSecond * (now.steadyUs - m_last->steadyUs) / 1'000'000;
        if (std::llabs(now.realOffsetUs - m_last->realOffsetUs) > allowed ||
            std::llabs(now.bootOffsetUs - m_last->bootOffsetUs) > allowed) {
            m_distrustUntilUs = now.steadyUs + distrustUs;
        }
    }
    m_last = now;
}

bool ClockWatch::isSettled() const {
    return !m_distrustUntilUs || m_clock.steadyUs() >= *m_distrustUntilUs;
}

ClockState ClockWatch::state() const {
    ClockState state = m_clock.state();
    if (!isSettled()) {
        state.synchronised = false;
    }
    return state;
}

} // namespace lm
