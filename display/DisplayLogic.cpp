#include "DisplayLogic.h"

namespace lm {

namespace {
constexpr int startDelayMs = 100;
constexpr int pollIntervalMs = 80;
} // namespace

void DisplayLogic::start(std::int16_t number) {
    m_LMNumber = number;
    m_timer1.setInterval(startDelayMs);
    m_timer1.setEnabled(true);
    m_timer3.setInterval(pollIntervalMs);
    m_timer3.setEnabled(true);
}

void DisplayLogic::stopAll() {
    m_timer1.setEnabled(false);
    m_timer2.setEnabled(false);
    m_timer3.setEnabled(false);
}

} // namespace lm
