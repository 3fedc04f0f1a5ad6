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
    notify();
}

void Timer::setEnabled(bool enabled) {
    if (enabled == m_enabled) {
        return;
    }
    m_enabled = enabled;
    notify();
}

void Timer::fire() {
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
