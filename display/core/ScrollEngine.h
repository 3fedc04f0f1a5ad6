#pragma once

#include "InstantCheck.h"
#include "JobLines.h"
#include "SignView.h"
#include "TickSchedule.h"
#include "Timer.h"

#include <cstdint>
#include <functional>
#include <string_view>

namespace lm {

class ClockWatch;
class JobPoller;
class TickTrace;

// Turns the current job into what the sign shows and moves it one step per tick of Timer2:
// a text, a moving picture or a still picture. Lengths are twips. Every handler runs to its
// end without letting other events run, so a job started by a poll never meets half a tick.
//
// Every screen steps at the same instant. An item's ticks fall due at fixed deadlines from its
// start (TickSchedule), and Timer2 is re-armed after every tick for the time left to the next
// one, so a late tick never delays the ones after it. The start is the instant of the record
// beside the job when it may be used (InstantCheck): the item runs as if its job had arrived
// then. Ticks that are already due when the job arrives, or when a tick comes more than an
// interval late, are run at once without painting in between, answers and all.
class ScrollEngine {
public:
    // What a movement tick does with a job, by its kind and movement words.
    enum class TickMode {
        None,          // any other kind: nothing happens
        Text,          // the label moves
        StillPicture,  // a countdown; nothing visible moves
        MovingPicture, // "左へ": the two picture controls take turns
        OtherPicture   // a picture with another movement word: answers only
    };
    static TickMode tickMode(const JobLines& job);

    // The watch gives the clocks the ticks run on.
    ScrollEngine(SignView& view, JobPoller& poller, Timer& timer1, Timer& timer2,
                 ClockWatch& watch);

    // Called when a job of kind "終了" ends the program, before the window is unloaded.
    void setEndHandler(std::function<void()> handler) { m_onEnd = std::move(handler); }

    // Called after every job start of a display mode and every movement tick (once for the
    // ticks run together), once the sign shows what it did; the window's smooth motion plans
    // from there.
    void setMovedHandler(std::function<void()> handler) { m_onMoved = std::move(handler); }
    void setTrace(TickTrace* trace) { m_trace = trace; }

    // Job start. False when no whole job could be read; nothing changes then.
    bool Timer1_Timer();
    // Movement tick: the next tick, and every later one already due.
    void Timer2_Timer();

    // The current item's ticks; done() of them have run.
    const TickSchedule& schedule() const { return m_schedule; }
    bool isTicking() const { return m_timer2.isActive(); }

    // The colour number of a colour word, or 16 when it names none.
    static int ColorIndex(std::string_view word);

    int LMScreenWidth() const { return m_LMScreenWidth; }
    void setLMScreenWidth(int twips) { m_LMScreenWidth = twips; }
    int LMX() const { return m_LMX; }
    int LMTextWidth() const { return m_LMTextWidth; }
    int LMMoveStep() const { return m_LMMoveStep; }
    int LMXP() const { return m_LMXP; }
    int LMPictureWidth() const { return m_LMPictureWidth; }
    int LMPMoveStep() const { return m_LMPMoveStep; }
    std::int16_t LMImageDisplay() const { return m_LMImageDisplay; }

    // Off: every item starts as its job arrives (InstantCheck::setUsed).
    void setInstantsUsed(bool used) { m_instants.setUsed(used); }

private:
    void startText();
    void startMovingPicture();
    void startStillPicture();
    // The item's tick 0, at the instant or now, and the ticks due since.
    void startTicks(int intervalMs);
    // With `next`, the next tick whether due or not (a call of the handler is a tick).
    void runDueTicks(bool next);
    void tick(TickMode mode);
    void answerNext();
    void answerEnd();
    // An unknown colour word keeps the colour shown before.
    template <typename Apply> static void withColour(std::string_view word, Apply apply);
    void textTick();
    void stillPictureTick();
    void movingPictureTick(bool left);
    void moved() const;
    void swapPictures();

    SignView& m_view;
    JobPoller& m_poller;
    Timer& m_timer1;
    Timer& m_timer2;
    ClockWatch& m_watch;
    InstantCheck m_instants;
    TickSchedule m_schedule;
    TickTrace* m_trace = nullptr;
    // What the tick running now answered, for the trace.
    std::string_view m_answered;
    std::int64_t m_answeredUs = 0;
    std::function<void()> m_onEnd;
    std::function<void()> m_onMoved;

    int m_LMScreenWidth = 0;
    int m_LMX = 0;
    int m_LMTextWidth = 0;
    int m_LMMoveStep = 0;
    int m_LMXP = 0;
    int m_LMPictureWidth = 0;
    int m_LMPMoveStep = 0;
    // Which picture control the next moving-picture tick shows; kept from picture to picture.
    std::int16_t m_LMImageDisplay = 0;
};

} // namespace lm
