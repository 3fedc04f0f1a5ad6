#pragma once

#include "ExchangeFolder.h"
#include "SignOfLife.h"
#include "Timer.h"

#include <functional>
#include <optional>
#include <string>

namespace lm {

// The control program's sign of life in the Exchange folder, LMControl.dat: written at its
// start and again every second with its beat counted up, removed when it ends. One control
// program runs per Exchange folder; on this computer a lock tells, on another computer this
// file does.
class ControlPresence {
public:
    static constexpr int refreshMs = 1000;
    // A beat that did not change for this long is a program long gone (killed, or its computer
    // off): a few refreshes, for a share that shows changes late.
    static constexpr int staleMs = 3500;

    explicit ControlPresence(const ExchangeFolder& exchange);

    // The timer the window binds; it refreshes the file.
    Timer& timer() { return m_timer; }
    const SignOfLife& life() const { return m_life; }
    // Where the program takes wake-ups; written with the next refresh.
    void setWakeUp(int port, std::vector<std::string> addresses);

    void start();
    // Removes the file, unless another program has written it since.
    void stop();

    // The host name of another computer whose control program uses this Exchange folder now:
    // its sign of life names another computer (or another program on this one that still
    // runs) and the file changes while we watch, for at most staleMs. `wait` lets that much
    // time pass (ms). An empty name when the file kept changing but never read whole; nothing
    // when the folder is free, or its file stayed as it was, whole or cut.
    static std::optional<std::string> otherController(const ExchangeFolder& exchange,
                                                      const std::function<void(int)>& wait);

private:
    void refresh();

    const ExchangeFolder& m_exchange;
    SignOfLife m_life;
    Timer m_timer;
};

} // namespace lm
