#pragma once

#include "AnswerDue.h"
#include "DisplayWall.h"
#include "ExchangeFolder.h"
#include "ItemTable.h"
#include "JobWriter.h"
#include "LineFile.h"
#include "RunView.h"
#include "Timer.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace lm {

// The show run controller: it plays the show list on the display programs through the
// Exchange folder, item by item along the chain of displays.
//
// Timer0, the display starter, switches the display watchers Timer1 ... Timer16 on one after
// another; watcher 1 feeds display 1 on its end answers, watcher n feeds display n on the next
// answers of display n - 1. It owns its seventeen timers and the wall timer: the window binds
// each to a lm::QtTimer, tests to a virtual clock. Every handler is a plain call.
//
// With repetition, each watcher counts the rounds its display has begun, so that a display that
// missed the last rows of a round (a faster item cut a slower one off on the display before)
// still follows into the next round instead of waiting for reports that never come. What a
// display receives is the item the display before it has just reported: after an item that was
// cut off, the chain is back in step with the next hand-over. Only an answer whose line 1 is
// that of an item job the display was sent in this show moves it on.
//
// A wall goes on when a display fails. The wall timer looks at every display's presence file
// (DisplayWall) and knows when each answer is due (AnswerDue). A display that is absent, or
// silent (its presence gone, or its answer overdue by DisplayWall::silenceMs), is passed over
// while some display after it is present: its watcher's successor takes what it would have
// answered, at once for an absent display, when the answer was due for a silent one. A silent
// display that is back takes up the next item that reaches it. Where no present display
// follows, the chain waits for the display's answers as ever; with every display present and
// answering in time, nothing of this comes into play.
//
// Every screen steps at one instant. A display's next answer comes with the instant of the tick
// that wrote it (LMNextAt<n>.dat); the item it hands over goes to the next display with that
// instant (LMStartAt<n>.dat, written before the job), and that display runs the item as if it
// had started then. Where no display's own answer hands an item on (display 1, a display
// passed over, the still pictures sent early, a still show), the record says so, and the item
// starts as its job arrives. The job files are the same either way.
class RunController {
public:
    static constexpr int timerCount = 17;         // Timer0 ... Timer16
    static constexpr int displayCount = 16;       // every display number gets stop and end jobs
    static constexpr int watcherIntervalMs = 100; // answer polling of every watcher
    static constexpr int paceUnitMs = 100;        // start pace = SpeedFactor x this
    static constexpr int defaultSpeedFactor = 30; // "中", when no speed word was ever known
    static constexpr int wallIntervalMs = 100;    // the wall timer, which runs all the time

    // currentDir is CurrentDir, the control program's working folder taken at start-up.
    RunController(ItemTable& table, const std::filesystem::path& currentDir, RunView& view);
    RunController(const RunController&) = delete;
    RunController& operator=(const RunController&) = delete;

    // Timer0 (the display starter) and Timer1 ... Timer16 (the display watchers). Each handler
    // is already set; all start with interval 0.
    Timer& timer(int number);
    // Looks at the displays' presence and keeps the controller's clock: on from the start,
    // whether a show runs or not.
    Timer& wallTimer() { return m_wallTimer; }
    const ExchangeFolder& exchange() const { return m_exchange; }
    JobWriter& jobs() { return m_jobs; }
    DisplayWall& wall() { return m_wall; }
    const DisplayWall& wall() const { return m_wall; }

    // "表示させる": starts a show from row 0, or refuses it: the warning, and every timer off.
    // Empty when it started.
    std::string cmdDisplay_Click();
    // A show from row fromRow, whose start checks were passed. `blank`: displays that get the
    // stop job at once, since a missing job file would leave what they show (an urgent
    // message) on their screens until the chain reaches them.
    void startShow(int fromRow, const std::vector<int>& blank = {});
    // A start that was refused: every timer off, and "表示中" hidden, since nothing shows.
    void refuseStart();
    // "表示を止める": blanks every display with stop jobs and switches every timer off. Run first
    // by every change of the show list and every show-file load or save.
    void cmdStop_Click();
    // "表示プログラムをすべて終了させる", once the operator said Yes: every timer off, and the end
    // job for every display.
    void endDisplays();
    // Something else takes the wall (the urgent message): every timer off, and what the chain
    // expected of each display no longer holds. The row display 1 had.
    int pause();
    // A show runs: some of its timers are on.
    bool isShowRunning() const;

    // What display n says of itself in its presence file (where it takes wake-ups, its clock).
    const std::optional<SignOfLife>& displayLife(int n) const { return m_wall.life(n); }
    // The row of the list display n was last sent, or -1.
    int rowOn(int n) const { return track(n).row; }

    // One tick of the starter, of watcher 1, and of watcher n (2 to 16). The timers call them.
    void Timer0_Timer();
    void Timer1_Timer();
    void watcherTimer(int n);
    void wallTimer_Timer();
    // The file system reports that display `display` wrote an answer: the watcher that reads
    // it ticks now, as its timer would (only while switched on), and its timer goes on as
    // before. Answers that no watcher reads change nothing.
    void answerChanged(AnswerKind kind, int display);

    // The job files. Each returns how the write went and updates the job-write indicator.
    WriteStatus WriteItemJob(int n);
    WriteStatus WriteStopJob(int n);
    WriteStatus WriteEndJob(int n);

    // Run state, for the window's tests and the controller's own.
    int SendRow(int n) const;
    int StartCounter() const { return m_StartCounter; }
    int SpeedFactor() const { return m_SpeedFactor; }
    bool StillShow() const { return m_StillShow; }
    int LastStillAnswer(int n) const; // displays 2, 3 and 4

private:
    // An answer that a passed-over display would have written, taken by the watchers as they
    // take the file: it shows from its moment on and stays until a hand-over takes it.
    struct PassedAnswer {
        std::optional<Answer> shown;
        std::optional<Answer> coming;
        std::int64_t at = 0;
        bool tookItem = false; // a hand-over took it for the display's current item
    };
    // The item job a display was last sent, and what the chain expects of it.
    struct Track {
        int row = -1; // -1: no item of the list
        std::int64_t sentAt = 0;
        AnswerDue due;
        bool nextSeen = false;
        bool endSeen = false;
        bool following = false; // the chain waits for its answers
        PassedAnswer next;
        PassedAnswer end; // display 1 only
        Answer lastNext;  // as last read from its files
        Answer lastEnd;
        std::string head;             // line 1 of the item job last written
        std::optional<int> missedRow; // the item before, unreported although due
        std::optional<int> resend;    // written at the watcher's next tick
        std::optional<Instant> resendFrom;
    };

    void switchAllTimersOff();
    void sendToDisplayOne();
    // Display n - 1 has begun the list again after display n had all of it: display n follows
    // from `row` on with repetition, and is done without.
    void beginAgain(int n, int row);
    // `answer`: what display n - 1 said, when its own file said it.
    void handOver(int n, const std::optional<Answer>& answer = std::nullopt);
    // The job for the row, written after the instant it starts at (none: as it arrives); then
    // what the chain expects of display n.
    void sendItem(int n, int row, bool chained, const std::optional<Instant>& from = {});
    // The instant display p gave its next answer, when its record fits that answer.
    std::optional<Instant> instantOf(int p, const Answer& answer) const;
    void itemReached(int n, int row, const JobLines& job, bool chained);
    // The answer the watcher acts on: display p's file, or what p would have answered when
    // it is passed over. A repeated answer for an item that was passed on reads as none.
    Answer answerFrom(AnswerKind kind, int p);
    // Display p's own answer, once it is known to be for an item it was sent in this show.
    Answer filedAnswer(AnswerKind kind, int p);
    // Display p answered the item it was last sent: the chain follows it again.
    void answerSeen(AnswerKind kind, int p);
    bool passesOver(int p) const;
    // A hand-over acted on what passed-over display p would have answered.
    void takePassedAnswer(int p, AnswerKind kind);
    void expectPassedAnswers(int n, bool atOnce);
    // Display n did not answer in time: it is passed over from now on.
    void fallSilent(int n);
    bool isOverdue(int n);
    void clearTracks();
    Track& track(int n) { return m_track.at(static_cast<std::size_t>(n)); }
    const Track& track(int n) const { return m_track.at(static_cast<std::size_t>(n)); }
    bool rowIsStillPicture(int row) const;
    // Whether an answer's line 1 is that of an item job of this list (the row after the last
    // included): one the chain may write.
    bool isRowOfTheList(const std::string& head) const;
    JobLines itemJob(int n) const;
    JobLines itemJobOf(int row) const;

    ItemTable& m_table;
    ExchangeFolder m_exchange;
    RunView& m_view;
    JobWriter m_jobs{m_exchange};
    // Display 1 gets its first row at watcher 1's first tick, whatever the row.
    bool m_firstRowDue = false;

    std::array<Timer, timerCount> m_timers{};
    Timer m_wallTimer;
    DisplayWall m_wall{m_exchange};
    std::int64_t m_nowMs = 0; // the controller's clock: wall timer ticks
    std::array<Track, displayCount + 1> m_track{};
    // Whether the answer answerFrom() gave last came from the display's own file.
    bool m_answerFiled = false;
    std::array<int, displayCount + 1> m_SendRow{};
    int m_StartCounter = 0;
    int m_SpeedFactor = 0;
    bool m_StillShow = false;
    // -1: no still picture released yet, so a first repeated report for row 0 counts.
    std::array<int, 3> m_LastStillAnswer{-1, -1, -1};
    // How often each display has begun the list in this show (index 0 unused).
    std::array<int, displayCount + 1> m_round{};
    // Line 1 of every item job written to each display in this show: only an answer that
    // names one of them moves the show on.
    std::array<std::set<std::string>, displayCount + 1> m_sentHeads{};
};

} // namespace lm
