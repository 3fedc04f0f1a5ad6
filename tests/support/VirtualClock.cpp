#include "VirtualClock.h"

namespace lm::test {

VirtualClock::~VirtualClock() {
    for (auto& [timer, schedule] : m_timers) {
        timer->setDriver(nullptr);
    }
}

void VirtualClock::attach(Timer& timer) {
    m_timers[&timer] = {};
    timer.setDriver(this);
}

void VirtualClock::scheduleChanged(Timer& timer) {
    auto it = m_timers.find(&timer);
    if (it == m_timers.end()) {
        return;
    }
    Schedule& schedule = it->second;
    schedule.armed = timer.isActive();
    if (schedule.armed) {
        schedule.due = m_now + timer.countdown();
        schedule.order = ++m_order;
    }
}

void VirtualClock::timerDestroyed(Timer& timer) {
    m_timers.erase(&timer);
}

Timer* VirtualClock::nextDue(std::int64_t limit) {
    Timer* next = nullptr;
    const Schedule* best = nullptr;
    for (auto& [timer, schedule] : m_timers) {
        if (!schedule.armed || schedule.due > limit) {
            continue;
        }
        if (best == nullptr || schedule.due < best->due ||
            (schedule.due == best->due && schedule.order < best->order)) {
            best = &schedule;
            next = timer;
        }
    }
    return next;
}

bool VirtualClock::fireNext(std::int64_t limit) {
    Timer* timer = nextDue(limit);
    if (timer == nullptr) {
        return false;
    }
    Schedule& schedule = m_timers[timer];
    m_now = schedule.due;
    // The next countdown starts when this one ends, as with a precise timer.
    schedule.due = m_now + timer->interval();
    schedule.order = ++m_order;
    timer->fire();
    return true;
}

void VirtualClock::advanceTo(std::int64_t time) {
    while (fireNext(time)) {
    }
    if (time > m_now) {
        m_now = time;
    }
}

void VirtualClock::advance(std::int64_t ms) {
    advanceTo(m_now + ms);
}

bool VirtualClock::advanceUntil(const std::function<bool()>& condition, std::int64_t ms) {
    const std::int64_t limit = m_now + ms;
    if (condition()) {
        return true;
    }
    while (fireNext(limit)) {
        if (condition()) {
            return true;
        }
    }
    m_now = limit;
    return false;
}

} // namespace lm::test
