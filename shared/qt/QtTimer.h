#pragma once

#include "Timer.h"

#include <QObject>
#include <QTimer>

namespace lm {

// Drives one logic Timer with a precise QTimer. An interval of 0 never fires (a QTimer
// with interval 0 would fire at every pass of the event loop).
class QtTimer : public QObject, private TimerDriver {
    Q_OBJECT
public:
    explicit QtTimer(Timer& timer, QObject* parent = nullptr);
    ~QtTimer() override;

    bool isRunning() const { return m_qtimer.isActive(); }

private:
    void scheduleChanged(Timer& timer) override;
    void timerDestroyed(Timer& timer) override;

    Timer* m_timer = nullptr;
    QTimer m_qtimer;
};

} // namespace lm
