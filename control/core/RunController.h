#pragma once

#include "AnswerDue.h"
#include "DisplayWall.h"
#include "ExchangeFolder.h"
#include "ItemTable.h"
#include "LineFile.h"
#include "MessageBoxes.h"
#include "RunView.h"
#include "Timer.h"
#include "UrgentMessage.h"
#include "UrgentReach.h"
#include "WallClock.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>

namespace lm {

// The show run controller and the stop and end commands of the control window.
//
// It plays the show list on the display programs through the Exchange folder: Timer0, the
// display starter, switches the display watchers Timer1 ... Timer16 on one after another;
// watcher 1 feeds display 1 on its end answers, watcher n feeds display n on the next answers of
// display n - 1. It owns its seventeen timers: the window binds each to a lm::QtTimer, tests to
// a virtual clock. Every handler is a plain call; none of them blocks except the message boxes.
//
// With repetition, each watcher counts the rounds its display has begun, so that a display that
// missed the last rows of a round (a faster item cut a slower one off on the display before)
// still follows into the next round instead of waiting for reports that never come. What a
// display receives is the item the display before it has just reported: after an item that was
// cut off, the chain is back in step with the next hand-over.
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
//
// An urgent message interrupts the chain: every display that is there gets it as a text job at
// once and again after each of its end answers, until it ends by itself or by the operator.
// Then a show that ran goes on from the row display 1 had, through the chain at its pace; with
// none, every display is blanked as "表示を止める" blanks it.
//
// Job files that cannot be written (the Exchange folder is missing or refuses them, or a value
// cannot be carried) never stop the show and never raise a message box at a tick: the window's
// job-write indicator (RunView::setJobWriteProblem) names the displays concerned, and is
// cleared as soon as every display's last job was written again. A show also stands still
// without a word when the Exchange folder goes away (no answer can arrive, so nothing is
// written): while it runs, the indicator says so until the folder is back.
class RunController {
public:
    static constexpr int timerCount = 17;         // Timer0 ... Timer16
    static constexpr int displayCount = 16;       // every display number gets stop and end jobs
    static constexpr int watcherIntervalMs = 100; // answer polling of every watcher
    static constexpr int paceUnitMs = 100;        // start pace = SpeedFactor x this
    static constexpr int defaultSpeedFactor = 30; // "中", when no speed word was ever known
    static constexpr int wallIntervalMs = 100;    // the wall timer, which runs all the time

    static constexpr std::string_view warningTitle = "注意！";
    // Two lines joined by CR LF; a message box shows them as two lines.
    static constexpr std::string_view tooFewItemsText =
        "２項目以上の動作（文字や画像）を\r\n設定して下さい。";
    static constexpr std::string_view endQuestionText =
        "表示プログラムを終了させます。よろしいですか？";
    static constexpr std::string_view endQuestionTitle = "表示プログラムの終了";
    // The job-write indicator's texts for a missing or unwritable Exchange folder: what to do.
    static constexpr std::string_view folderMissingText =
        "data フォルダーがありません。戻して、表示させ直して下さい。";
    static constexpr std::string_view folderUnwritableText =
        "data フォルダーに書き込めません。直して「表示を止める」を押して下さい";

    // Item numbers of the urgent jobs: far beyond any row, and two of them, so that each
    // repeat changes line 1 and starts the text again.
    static constexpr int urgentNumber = 9000;

    // currentDir is CurrentDir, the control program's working folder taken at start-up; the
    // clock tells when an urgent message ends.
    RunController(ItemTable& table, const std::filesystem::path& currentDir, RunView& view,
                  MessageBoxes& boxes, const WallClock& clock = SystemClock::instance());
    RunController(const RunController&) = delete;
    RunController& operator=(const RunController&) = delete;

    // Timer0 (the display starter) and Timer1 ... Timer16 (the display watchers). Each handler
    // is already set; all start with interval 0.
    Timer& timer(int number);
    // Looks at the displays' presence and keeps the controller's clock: on from the start,
    // whether a show runs or not.
    Timer& wallTimer() { return m_wallTimer; }
    const ExchangeFolder& exchange() const { return m_exchange; }

    // "表示させる": starts a show, or refuses it with a warning and leaves everything idle.
    void cmdDisplay_Click();
    // "表示を止める": blanks every display with stop jobs and switches every timer off. Run first
    // by every change of the show list and every show-file load or save.
    void cmdStop_Click();
    // "表示プログラムをすべて終了させる": after Yes, switches every timer off and writes the end
    // job for every display. True when the operator said Yes.
    bool mnuLMEnd_Click();

    // Sends the urgent message to every display that is there, replacing one that runs; why
    // not (the words of "リストに追加"), or empty once it runs.
    std::string sayUrgent(UrgentMessage message);
    // Ends the urgent message that runs; the show before it goes on.
    void endUrgent();
    std::optional<UrgentMessage> urgent() const;
    // Which displays show the urgent message that runs, were sent it or wait for it.
    UrgentReach urgentReach() const;
    // A show runs: some of its timers are on.
    bool isShowRunning() const;

    // Called after each job file written whole, with the display number and the job's line 1:
    // the window wakes that display over the network.
    using JobWritten = std::function<void(int display, const std::string& head)>;
    void setJobWritten(JobWritten written) { m_jobWritten = std::move(written); }
    // Whether a wake-up of display n ever arrived; unset: the program takes none, and no cell
    // says anything of them.
    void setWakeUpsHeard(std::function<bool(int display)> heard) {
        m_wakeUpsHeard = std::move(heard);
    }
    // What display n says of itself in its presence file (where it takes wake-ups, its clock).
    const std::optional<SignOfLife>& displayLife(int n) const { return m_wall.life(n); }

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

    // Why a show cannot start now (the warning text), or empty. cmdDisplay_Click asks it after
    // the item-count check.
    std::string startProblem() const;

    // Run state, for the window's tests and the controller's own.
    int SendRow(int n) const;
    int StartCounter() const { return m_StartCounter; }
    int SpeedFactor() const { return m_SpeedFactor; }
    bool StillShow() const { return m_StillShow; }
    int LastStillAnswer(int n) const; // displays 2, 3 and 4
    // The text last given to RunView::setJobWriteProblem (empty: all writes work).
    const std::string& jobWriteProblem() const { return m_jobWriteProblem; }
    WallCell wallCell(int n) const;

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

    // What an urgent message is doing: the line 1 of the urgent job each display was last sent
    // (empty: none yet), and what comes after it.
    struct UrgentRun {
        UrgentMessage message;
        std::array<std::string, displayCount + 1> heads{};
        bool showWasRunning = false;
        int resumeRow = 0;
    };

    void switchAllTimersOff();
    // "表示させる" from row fromRow on. quiet: a problem is shown on the window's job-write line
    // and blanks the wall instead of raising a message box (the show going on after an urgent
    // message, within a tick). `urgent`: the message that ran until now, whose copies leave
    // every screen at once.
    void startShow(int fromRow, bool quiet, const UrgentRun* urgent = nullptr);
    // Stop jobs for the displays that were sent a copy of the urgent message: a missing job
    // file would leave it scrolling there until the chain reaches the display.
    void blankUrgentCopies(const UrgentRun& run);
    void sendUrgent(int n);
    // Display n answered the end of its urgent text, or is there without it: it gets it anew.
    void checkUrgent(int n);
    void writeStartRecord(int n, const std::string& head, const std::optional<Instant>& from);
    void sendToDisplayOne();
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
    bool passesOver(int p) const;
    // A hand-over acted on what passed-over display p would have answered.
    void takePassedAnswer(int p, AnswerKind kind);
    void expectPassedAnswers(int n, bool atOnce);
    bool isOverdue(int n);
    void clearTracks();
    void refreshCells();
    // The clock mark of display n's cell: untrusted only where a neighbour that is there runs on
    // another computer, since one computer's displays share its clock.
    void markClock(int n, WallCell& cell) const;
    Track& track(int n) { return m_track.at(static_cast<std::size_t>(n)); }
    const Track& track(int n) const { return m_track.at(static_cast<std::size_t>(n)); }
    bool rowIsStillPicture(int row) const;
    // Whether an answer's line 1 is that of an item job of this list (the row after the last
    // included): one the chain may write.
    bool isRowOfTheList(const std::string& head) const;
    JobLines itemJob(int n) const;
    JobLines itemJobOf(int row) const;
    // Writes and records the outcome; reportJobWrites() then tells the window once.
    WriteStatus writeJob(int n, const JobLines& lines);
    void reportJobWrites();
    // Looks for the Exchange folder and tells the window when it went or came back.
    void checkExchangeFolder();

    ItemTable& m_table;
    ExchangeFolder m_exchange;
    RunView& m_view;
    MessageBoxes& m_boxes;
    const WallClock& m_clock;
    std::optional<UrgentRun> m_urgent;
    std::array<std::string, displayCount + 1> m_lastUrgentHeads{}; // over every urgent message
    JobWritten m_jobWritten;
    std::function<bool(int)> m_wakeUpsHeard;
    // Display 1 gets its first row at watcher 1's first tick, whatever the row.
    bool m_firstRowDue = false;

    std::array<Timer, timerCount> m_timers{};
    Timer m_wallTimer;
    DisplayWall m_wall{m_exchange};
    std::int64_t m_nowMs = 0; // the controller's clock: wall timer ticks
    std::array<Track, displayCount + 1> m_track{};
    // Whether the answer answerFrom() gave last came from the display's own file.
    bool m_answerFiled = false;
    // Names this run of the program in every instant record, with a count of them.
    std::string m_session;
    std::uint64_t m_instantCount = 0;
    std::array<WallCell, displayCount + 1> m_cells{};
    UrgentReach m_reach;
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

    // How the last job write to each display went (index 0 unused).
    std::array<WriteStatus, displayCount + 1> m_jobWrites{};
    std::string m_jobWriteProblem;
    bool m_folderMissing = false;
};

} // namespace lm
