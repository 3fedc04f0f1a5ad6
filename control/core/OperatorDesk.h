#pragma once

#include "ControlState.h"
#include "DeskOutcome.h"
#include "DeskState.h"
#include "ExchangeFolder.h"
#include "FileChooser.h"
#include "ItemTable.h"
#include "JobWriter.h"
#include "RunController.h"
#include "RunView.h"
#include "ShowFile.h"
#include "ShowList.h"
#include "Timer.h"
#include "UrgentBroadcast.h"
#include "WallClock.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lm {

class DeskObserver;

// The operator's desk: every command an operator can give the sign is decided here, whichever
// front end it comes from (the control window, a second start or `--say` on this computer, the
// web API, the week plan), with the same checks and the same words. The desk holds what a show
// needs: the list, the settings it runs with, the show, the urgent message and the copy kept
// for --resume. Each command returns its outcome as a value (what a message box would say, or a
// refusal with the window's words); the desk never waits on a person. Its observers hear of
// every change, so a change from one front end reaches the others at once.
//
// A front end that holds a modal step open (the window's file chooser) says so with
// holdStep(): until the step closes, commands that would change the list or the show under it
// are refused with words that say why; the others (stop, end, the urgent message, settings)
// are safe and run.
class OperatorDesk : private RunView {
public:
    struct Options {
        // CurrentDir: the working folder, whose data/ is the Exchange folder.
        std::filesystem::path currentDir;
        // Where the copy for --resume is kept; empty: nowhere.
        std::filesystem::path stateFolder;
        const WallClock* clock = nullptr; // null: the system's clocks
    };

    // The question a front end asks before endDisplays(), as the window asks it.
    static constexpr std::string_view endDisplaysText =
        "表示プログラムを終了させます。よろしいですか？";
    static constexpr std::string_view endDisplaysTitle = "表示プログラムの終了";
    // A load or save with no file name.
    static constexpr std::string_view emptyNameText = "ファイル名を正しく入力して下さい";

    explicit OperatorDesk(Options options);
    ~OperatorDesk() override;
    OperatorDesk(const OperatorDesk&) = delete;
    OperatorDesk& operator=(const OperatorDesk&) = delete;

    // Deletes the answer, job, instant and presence files of the Exchange folder under the
    // folder; other files (pictures, show files) stay. Every failure is ignored.
    static void removeJobsAndAnswers(const std::filesystem::path& currentDir);

    // --- Start-up and shutdown ----------------------------------------------------------------
    // Makes the Exchange folder and deletes the job, answer and instant files of any earlier
    // run, each step on its own. Its timers start here.
    void open();
    // The program ends: every timer off, the files of the show deleted. A show the operator
    // ends (ending == Operator) is not started again by --resume; one the system ends is.
    // Only the first call acts.
    void close(Ending ending);
    bool isClosed() const { return m_closed; }
    // Every timer of the desk, for the front end that runs the event loop to bind.
    std::vector<Timer*> timers();

    // --- What the front ends show -------------------------------------------------------------
    void addObserver(DeskObserver& observer);
    void removeObserver(DeskObserver& observer);
    const ShowList& list() const { return *m_list; }
    const ItemTable& table() const { return m_table; }
    const ShowSettings& settings() const { return m_state.settings; }
    const DeskState& state() const { return m_state; }
    const ExchangeFolder& exchange() const { return m_chain->exchange(); }

    // --- The settings a show runs with (ComboTMove, ComboTSpeed, ComboNum, Check1) ----------
    // Taken as they are: any text, since the lists are editable; a show start checks them.
    void setSettings(const ShowSettings& settings);

    // --- The show list ---------------------------------------------------------------------
    // "リストに追加": the stop, then the item after the last one. Full: nothing is added and
    // nothing said.
    DeskOutcome add(const ItemEntry& entry);
    // The item that line `line` describes takes the entry's values (the stop first).
    DeskOutcome change(int line, const ItemEntry& entry);
    // "選択行削除": the stop, then the item that line `line` describes goes.
    DeskOutcome remove(int line);
    // "すべて削除": the stop, then the list is empty.
    DeskOutcome clear();
    // Selecting line `line` (List1_Click): the item's fields, for the entry controls. The
    // speed (and for a text item the movement) become the show's settings, as the window's
    // lists show them. Nothing for a line that is not there.
    std::optional<ItemTable::Row> choose(int line);

    // --- Show files --------------------------------------------------------------------------
    // "読み込み" and "保存" with the window's chooser: the stop runs before the chooser opens,
    // whatever the operator does next; then the chooser's answer is taken. A cancelled chooser
    // changes nothing more; an empty name is refused with the box's words.
    void stopBeforeChooser();
    DeskOutcome loadChosen(const ChooserVariables& chosen);
    // The save rewrites SName by the extension rule, as the window's chooser keeps it.
    DeskOutcome saveChosen(ChooserVariables& chosen);
    // A show file by its path: the stop, then the load, with the same words.
    DeskOutcome load(const std::filesystem::path& path);
    DeskOutcome save(const std::filesystem::path& path);
    // A show file handed over by a second start: read before anything stops, so that a file
    // that cannot be read leaves the running show alone; then loaded, and started if asked.
    DeskOutcome handOver(const std::filesystem::path& path, bool start);

    // --- The show ---------------------------------------------------------------------------
    // "表示させる": a show from row 0, or a refusal with the warning.
    DeskOutcome start();
    // "表示を止める": stop jobs for every display, every timer off.
    DeskOutcome stop();
    // "表示プログラムをすべて終了させる", after the front end's question was answered Yes.
    DeskOutcome endDisplays();

    // --- The urgent message ------------------------------------------------------------------
    // Sends it to every display that is there, for `minutes` (0: until it is ended).
    DeskOutcome say(UrgentMessage message, int minutes);
    DeskOutcome endUrgent();

    // --- The copy for --resume ----------------------------------------------------------------
    // The list and settings of the last run. A show that was running when the program ended
    // without the operator starts again, and an urgent message that ran goes on for what is
    // left of its time. The plan and "予定に従う" come back too (unless a plan was given
    // already); while a plan is followed, the plan decides what runs now, not the show of the
    // last run. Refused (the list stays empty) when there is no copy or it cannot be read;
    // `outcome.messages` then says why in one line.
    DeskOutcome resume();

    // --- The week plan -------------------------------------------------------------------------
    // The plan in that file, read whole; one that cannot be read is refused with its line and
    // the reason, and the plan before it stays.
    DeskOutcome usePlan(const std::filesystem::path& path);
    // A plan already read from that file (the dialog saved it, the command line read it).
    void usePlan(const std::filesystem::path& path, WeekPlan plan);
    // A plan a front end made: written whole to the plan file (planPath()), then the plan of the
    // desk. Refused, with the words of the dialog's box, when two entries of a kind overlap or
    // the file cannot be written; the plan before it stays.
    DeskOutcome savePlan(WeekPlan plan);
    // "予定に従う"; following is refused while there is no plan.
    DeskOutcome followPlan(bool follow);
    // "予定に従う" as the operator turns it on: the plan file is read afresh, as it may have
    // been edited by hand. One that cannot be read is refused with its line and the reason;
    // the plan before it, if there is one, is followed all the same.
    DeskOutcome followPlanFile(bool follow);
    // The plan file followed, else plan.txt in the working folder.
    std::filesystem::path planPath() const;
    bool followsPlan() const { return m_state.followPlan && m_state.plan.has_value(); }
    // Words for the operator from a front end that never opens a box (the plan): the notice
    // that the window's corner line, the log and the web API show. Told each time, even when
    // the words are the same.
    void tell(std::string notice);

    // --- Modal steps --------------------------------------------------------------------------
    // Held by a front end while its modal step is open; the step closes with the last Step.
    class Step {
    public:
        Step(Step&& other) noexcept;
        Step& operator=(Step&&) = delete;
        Step(const Step&) = delete;
        ~Step();

    private:
        friend class OperatorDesk;
        explicit Step(OperatorDesk* desk) : m_desk(desk) {}
        OperatorDesk* m_desk;
    };
    // `what`: the step as the operator sees it, e.g. "データファイルの読み込み".
    [[nodiscard]] Step holdStep(std::string what);

    // --- Things the front ends hand on ------------------------------------------------------
    // The file system or a wake-up reports that display `display` wrote an answer.
    void answerChanged(AnswerKind kind, int display);
    // Called after each job file written whole (the wake-ups, the job trace).
    void setJobWritten(JobWriter::Written written);
    // Whether a wake-up of display n ever arrived; unset: no cell says anything of them.
    void setWakeUpsHeard(std::function<bool(int display)> heard);
    // What display n says of itself in its presence file.
    const std::optional<SignOfLife>& displayLife(int n) const;
    // Words for the operator from a front end that has no boxes (a hand-over's warnings, the
    // plan): the window shows them as boxes, the others log them.
    void announce(const std::vector<DeskMessage>& messages);
    // Takes the announcements made since the last call.
    std::vector<DeskMessage> takeAnnouncements();
    // Those not taken yet, for a front end that only passes them on (the change streams).
    const std::vector<DeskMessage>& announcements() const { return m_announcements; }

    // For the tests and the window: the chain and the urgent message as they run.
    RunController& chain() { return *m_chain; }
    UrgentBroadcast& urgent() { return *m_urgent; }

private:
    // RunView: what the chain reads and shows.
    std::string movementText() const override;
    std::string speedText() const override;
    std::string displayCountText() const override;
    bool repeatChecked() const override;
    void setShowingVisible(bool visible) override;
    void setComputerCaption(const std::string& caption) override;
    void setLineCaption(const std::string& caption) override;
    void markStarterStopped() override;
    void wallChanged() override;

    // A command that would change the list or the show under an open modal step.
    std::optional<DeskOutcome> refusedByStep() const;
    // "表示を止める", with the urgent message it ends.
    void stopShow();
    // The chain's stop or its end of the displays, after the urgent message.
    void haltShow(void (RunController::*halt)());
    // What came of adding or changing an item.
    DeskOutcome itemOutcome(const ShowList::AddResult& result);
    static DeskOutcome noSuchLine();
    // The stop that a command of a front end runs first.
    void stopByHand();
    DeskOutcome startShow();
    // The plan of the copy, when no plan was given before the resume.
    void resumePlan(const ControlState::Settings& kept);
    DeskOutcome loadFile(const std::filesystem::path& path);
    DeskOutcome saveFile(const std::filesystem::path& path);
    static DeskOutcome unreadable(const std::filesystem::path& path);
    DeskOutcome replaceList(const showFile::Contents& contents, const std::filesystem::path& path);
    void sayNow(UrgentMessage message);
    // The urgent message ended: the show before it goes on, or every display is blanked.
    void urgentEnded(const UrgentBroadcast::Ended& ended);
    void urgentChanged();
    void listChanged();
    // The operator changed the list: it no longer is what its file holds.
    void listEdited();
    void keepCopy();
    void notify(DeskChanges changes);
    void refreshCells();

    Options m_options;
    const WallClock& m_clock;
    ItemTable m_table;
    std::unique_ptr<RunController> m_chain;
    std::unique_ptr<ShowList> m_list;
    std::unique_ptr<UrgentBroadcast> m_urgent;
    std::unique_ptr<ControlState> m_copy;
    DeskState m_state;
    std::vector<DeskObserver*> m_observers;
    std::vector<DeskMessage> m_announcements;
    std::vector<std::string> m_steps; // the modal steps open, innermost last
    std::function<bool(int)> m_wakeUpsHeard;
    bool m_closed = false;
};

} // namespace lm
