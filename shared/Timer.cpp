#include "Timer.h"

namespace lm {

Timer::~Timer() {
    if (m_driver != nullptr) {
        m_driver->timerDestroyed(*this);
    }
}

void Timer::setDriver(TimerDriver* driver) {
    m_driver = driver;
    notify();
}

void Timer::setInterval(int ms) {
    if (ms < 0) {
        ms = 0;
    }
    if (ms == m_interval) {
        return;
    }
    m_interval = ms;
    m_countdown = -1;
    notify();
}

void Timer::setEnabled(bool enabled) {
    if (enabled == m_enabled) {
        return;
    }
    m_enabled = enabled;
    m_countdown = -1;
    notify();
}

void Timer::restartCountdown(int ms) {
    if (!isActive()) {
        return;
    }
    m_countdown = ms < 0 ? 0 : ms;
    notify();
}

void Timer::fire() {
    // The asked-for countdown has run out; the next one is the interval unless asked again.
    m_countdown = -1;
    if (isActive() && m_handler) {
        m_handler();
    }
}

void Timer::notify() {
    if (m_driver != nullptr) {
        m_driver->scheduleChanged(*this);
    }
}

} // namespace lm
