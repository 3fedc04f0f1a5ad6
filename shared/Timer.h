#pragma once

#include <functional>

namespace lm {

class Timer;

// What makes timers fire: a QTimer in the windows, a virtual clock in tests.
class TimerDriver {
public:
    virtual ~TimerDriver() = default;
    // The timer was armed, re-timed or switched off: start its countdown afresh, or stop it.
    virtual void scheduleChanged(Timer& timer) = 0;
    virtual void timerDestroyed(Timer& timer) = 0;
};

// An interval timer as the programs' logic sees it: an interval in ms, a switch and a handler.
// It fires only while switched on with an interval above 0. Changing the interval of a running
// timer restarts its countdown; switching on a timer that already runs leaves it alone.
// A timer that keeps deadlines of its own re-arms itself after every shot with restartCountdown:
// a repeating timer would count each interval from a late shot and drift.
class Timer {
public:
    using Handler = std::function<void()>;

    Timer() = default;
    ~Timer();
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    void setHandler(Handler handler) { m_handler = std::move(handler); }
    void setDriver(TimerDriver* driver);

    void setInterval(int ms);
    int interval() const { return m_interval; }
    void setEnabled(bool enabled);
    bool isEnabled() const { return m_enabled; }
    // Counting down: switched on with an interval above 0.
    bool isActive() const { return m_enabled && m_interval > 0; }
    // Starts the countdown afresh with ms to the next shot (0: at once), even with the interval
    // unchanged; later shots follow at the interval. Nothing happens while the timer is not
    // active.
    void restartCountdown(int ms);
    // The countdown a driver starts now: the one restartCountdown asked for, else the interval.
    int countdown() const { return m_countdown >= 0 ? m_countdown : m_interval; }

    // Called by the driver when the countdown has run out.
    void fire();

private:
    void notify();

    Handler m_handler;
    TimerDriver* m_driver = nullptr;
    int m_interval = 0;
    // -1: none asked for; the countdown is the interval.
    int m_countdown = -1;
    bool m_enabled = false;
};

} // namespace lm
