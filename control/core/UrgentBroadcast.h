#pragma once

#include "DisplayWall.h"
#include "JobWriter.h"
#include "RunView.h"
#include "Timer.h"
#include "UrgentMessage.h"
#include "UrgentReach.h"
#include "Vocabulary.h"
#include "WallClock.h"

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace lm {

// The urgent message on the wall: every display that is there gets it as a text job at once,
// and again after each of its end answers, until it ends by its time or by the operator. It
// holds the wall meanwhile: its owner pauses the show, and when it ends, Ended says what comes
// after it.
class UrgentBroadcast {
public:
    // Item numbers of the urgent jobs: far beyond any row, and two of them, so that each
    // repeat changes line 1 and starts the text again.
    static constexpr int urgentNumber = 9000;
    static constexpr int tickMs = 100;

    // What comes after the message: the show that ran before it, from the row display 1 had,
    // and the displays that were sent a copy, which are blanked at once.
    struct Ended {
        bool showWasRunning = false;
        int resumeRow = 0;
        std::vector<int> copies;
    };

    // settings: the movement and speed words its jobs carry, read at each write.
    UrgentBroadcast(JobWriter& jobs, DisplayWall& wall, const RunView& settings,
                    const WallClock& clock);

    // Looks for its end and its repeats while it runs; the front end binds it.
    Timer& timer() { return m_timer; }
    // Told when the message ended by its time.
    void setEnded(std::function<void(const Ended&)> ended) { m_ended = std::move(ended); }

    // Sends it to every display that is there. A message that runs is replaced, and what comes
    // after both stays as it was. The message's problem() was checked by the caller.
    void say(UrgentMessage message, bool showWasRunning, int resumeRow);
    // Ends it now; nothing when none runs.
    std::optional<Ended> end();
    // Display `display` wrote an answer: an end answer for its copy repeats it.
    void answerChanged(AnswerKind kind, int display);

    bool isRunning() const { return m_run.has_value(); }
    std::optional<UrgentMessage> message() const;
    // Display n was sent a copy of the message that runs.
    bool showsOn(int n) const;
    UrgentReach reach() const;

private:
    struct Run {
        UrgentMessage message;
        // Line 1 of the copy each display was last sent (empty: none yet).
        std::array<std::string, vocabulary::maxDisplays + 1> heads{};
        bool showWasRunning = false;
        int resumeRow = 0;
    };

    void tick();
    void send(int n);
    // Display n answered the end of its copy, or is there without one: it gets it anew.
    void check(int n);
    Ended endedOf(const Run& run) const;

    JobWriter& m_jobs;
    DisplayWall& m_wall;
    const RunView& m_settings;
    const WallClock& m_clock;
    Timer m_timer;
    std::function<void(const Ended&)> m_ended;
    std::optional<Run> m_run;
    // Over every message: a display may not yet have seen that the one before has ended.
    std::array<std::string, vocabulary::maxDisplays + 1> m_lastHeads{};
};

} // namespace lm
