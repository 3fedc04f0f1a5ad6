#pragma once

#include "ClockWatch.h"
#include "JobPoller.h"
#include "ScrollEngine.h"
#include "SignView.h"
#include "Timer.h"
#include "WallClock.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace lm {

// The display program's logic behind its window: the job poller, the scroll engine and the
// four timers the window binds to real timers (tests bind them to a virtual clock). Where the
// file system reports changes in the Exchange folder, a change of this display's job file runs
// the poll at once, besides its timer. The clocks are an input too: the system's in the window,
// a virtual one in tests.
class DisplayLogic {
public:
    // An empty working folder means the process's current directory.
    explicit DisplayLogic(SignView& view, std::filesystem::path workDir = {},
                          const WallClock& clock = SystemClock::instance());
    DisplayLogic(const DisplayLogic&) = delete;
    DisplayLogic& operator=(const DisplayLogic&) = delete;

    // "OK": the number is taken, the one-shot start timer and the job poller are armed, and
    // the presence file is touched from now on.
    void start(std::int16_t number);
    // Ending the program stops every timer at once, the presence refresh with them.
    void stopAll();
    // Files of these names in the Exchange folder were written (a batch of reports, taken
    // between handlers). This display's job file among them runs one poll now, as the poll
    // timer would (only while it runs), and the timer goes on as before. Other files cost a
    // comparison.
    void exchangeFilesChanged(const std::vector<std::string>& names);
    // The presence timer's work: a look at the clocks, and the presence file written anew.
    void refreshPresence();

    std::int16_t LMNumber() const { return m_poller.LMNumber(); }
    // Width of the window in twips; every step of the movement derives from it.
    int LMScreenWidth() const { return m_engine.LMScreenWidth(); }
    void setLMScreenWidth(int twips) { m_engine.setLMScreenWidth(twips); }

    Timer& timer1() { return m_timer1; } // start timer: 100 ms, once
    Timer& timer2() { return m_timer2; } // movement tick
    Timer& timer3() { return m_timer3; } // job poller: 80 ms
    Timer& presenceTimer() { return m_presenceTimer; }
    JobPoller& poller() { return m_poller; }
    ScrollEngine& engine() { return m_engine; }
    const WallClock& clock() const { return m_watch.clock(); }
    // Each movement tick and job start is told there; nullptr: nowhere.
    void setTickTrace(TickTrace* trace) { m_engine.setTrace(trace); }

private:
    Timer m_timer1;
    Timer m_timer2;
    Timer m_timer3;
    Timer m_presenceTimer;
    ClockWatch m_watch;
    JobPoller m_poller;
    ScrollEngine m_engine;
};

} // namespace lm
