#include "QtTimer.h"

namespace lm {

QtTimer::QtTimer(Timer& timer, QObject* parent) : QObject(parent), m_timer(&timer) {
    m_qtimer.setTimerType(Qt::PreciseTimer);
    connect(&m_qtimer, &QTimer::timeout, this, [this] {
        if (m_timer == nullptr) {
            return;
        }
        // After a countdown of its own the QTimer goes on at the interval (the handler may
        // restart the countdown again).
        if (m_qtimer.interval() != m_timer->interval()) {
            m_qtimer.setInterval(m_timer->interval());
        }
        m_timer->fire();
    });
    m_timer->setDriver(this);
}

QtTimer::~QtTimer() {
    if (m_timer != nullptr) {
        m_timer->setDriver(nullptr);
    }
}

void QtTimer::scheduleChanged(Timer& timer) {
    if (timer.isActive()) {
        m_qtimer.start(timer.countdown());
    } else {
        m_qtimer.stop();
    }
}

void QtTimer::timerDestroyed(Timer& /*timer*/) {
    m_qtimer.stop();
    m_timer = nullptr;
}

} // namespace lm
