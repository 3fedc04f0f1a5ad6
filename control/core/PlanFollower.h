#pragma once

#include "DeskObserver.h"
#include "OperatorDesk.h"
#include "PlanTimeline.h"
#include "TimeZone.h"
#include "Timer.h"
#include "WallClock.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace lm {

// The week plan as one more front end of the desk. While the desk follows a plan, each change
// of the entry in force runs that entry once, with the commands and checks an operator's would
// have: "読み込み" of its show file, its settings, "表示させる"; "表示を止める" for a blank one.
// It never asks and opens no box: what it did, and what holds or comes next, it tells the
// desk's notice.
//
// A start, stop, load or list change that a front end asks for holds until the entry in force
// changes. An urgent message holds it off until the message ends. A list the operator changed
// and did not save is saved to a file of its own before the plan replaces it. What ran is
// remembered by the entry and the instant it came into force, so a clock stepped either way is
// asked afresh and runs the entry of the new time once.
class PlanFollower : private DeskObserver {
public:
    // How often the clock is looked at while a plan is followed: a clock stepped meanwhile is
    // noticed within this. A change closer than this is looked at when it falls due. Seldom
    // enough that following a plan costs an idle program nothing it could measure.
    static constexpr int lookEveryMs = 10'000;

    // recoveryFolder: where an unsaved list goes before the plan replaces it.
    PlanFollower(OperatorDesk& desk, const TimeZone& zone, const WallClock& clock,
                 std::filesystem::path recoveryFolder);
    ~PlanFollower() override;
    PlanFollower(const PlanFollower&) = delete;
    PlanFollower& operator=(const PlanFollower&) = delete;

    // Runs only while a plan is followed; the front end binds it.
    Timer& timer() { return m_timer; }
    // What the timer runs: the entry in force now runs, unless it ran already or is held off.
    void look();

private:
    // An entry in force, from the instant it came into force.
    struct Key {
        PlanChoice choice;
        std::int64_t sinceUs = 0;
        friend bool operator==(const Key&, const Key&) = default;
    };
    struct InForce {
        Key key;
        std::int64_t untilUs = 0;
        PlanRun run;
    };
    struct Look {
        std::int64_t steadyUs = 0;
        std::int64_t realUs = 0;
    };

    void deskChanged(DeskChanges changes) override;
    void planChanged();
    void heldByHand();
    void noteUnderUrgent(const InForce& entry);
    InForce inForce(std::int64_t nowUs);
    // Runs the entry and says so; false when a front end's modal step holds the list, so that
    // the next look tries again.
    bool run(const InForce& entry);
    std::string runShow(const InForce& entry);
    // Saves a list the operator changed and did not save; false (and `said` why) when it could
    // not be saved, so that it must not be replaced.
    bool keepUnsavedList(std::string& said);
    std::filesystem::path recoveryPath() const;
    // "予定：「朝.txt」を表示中。次は 18:00 から「夜.txt」".
    std::string status(const InForce& entry) const;
    // "次は 18:00 から「夜.txt」", or empty when nothing changes.
    std::string nextWords(const InForce& entry) const;
    void lookAgainBy(std::int64_t untilUs, std::int64_t nowUs);

    OperatorDesk& m_desk;
    const TimeZone& m_zone;
    const WallClock& m_clock;
    std::filesystem::path m_recoveryFolder;
    Timer m_timer;
    std::optional<WeekPlan> m_plan;
    std::unique_ptr<PlanTimeline> m_timeline;
    bool m_following = false;
    // The entry in force at the last look, valid for [key.sinceUs, untilUs).
    std::optional<InForce> m_cached;
    std::optional<InForce> m_ran;
    // The entry in force when a front end took over by hand.
    std::optional<Key> m_held;
    // A change that fell under the urgent message, told once.
    std::optional<Key> m_noted;
    // Its own commands: they hold nothing.
    bool m_acting = false;
    std::optional<Look> m_lastLook;
};

} // namespace lm
