#include "ShiftedClock.h"

namespace lm {

ShiftedClock::ShiftedClock(const WallClock& base, std::int64_t readsUs, std::int64_t sinceUs,
                           int rate)
    : m_base(base), m_readsUs(readsUs), m_sinceUs(sinceUs), m_rate(rate < 1 ? 1 : rate) {}

std::int64_t ShiftedClock::realUs() const {
    return m_readsUs + (m_base.realUs() - m_sinceUs) * m_rate;
}

} // namespace lm
