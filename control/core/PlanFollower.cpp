#include "PlanFollower.h"

#include "PlanFile.h"
#include "PlanWords.h"
#include "ShowFile.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <limits>
#include <system_error>

namespace lm {

namespace {

constexpr std::int64_t never = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t always = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t usPerMs = 1000;
constexpr std::int64_t firstLookMs = 1000;

ShowSettings settingsOf(const PlanRun& run) {
    return {run.movement, run.speed, run.displayCount, run.repeat};
}

// "20251206-1800" in local time, for the name of a recovered list.
std::string stamp(const TimeZone& zone, std::int64_t utcUs) {
    const std::int64_t local = zone.toLocal(utcUs / 1'000'000);
    const std::int64_t day = local / 86'400 - (local % 86'400 < 0 ? 1 : 0);
    const std::int64_t minute = (local - day * 86'400) / 60;
    const std::chrono::year_month_day date{std::chrono::sys_days(std::chrono::days(day))};
    char text[32];
    std::snprintf(text, sizeof text, "%04d%02u%02u-%02d%02d", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                  static_cast<int>(minute / 60), static_cast<int>(minute % 60));
    return text;
}

} // namespace

PlanFollower::PlanFollower(OperatorDesk& desk, const TimeZone& zone, const WallClock& clock,
                           std::filesystem::path recoveryFolder)
    : m_desk(desk), m_zone(zone), m_clock(clock), m_recoveryFolder(std::move(recoveryFolder)) {
    m_timer.setHandler([this] { look(); });
    m_timer.setInterval(lookEveryMs);
    m_desk.addObserver(*this);
    planChanged();
}

PlanFollower::~PlanFollower() {
    m_desk.removeObserver(*this);
}

void PlanFollower::deskChanged(DeskChanges changes) {
    if (has(changes, DeskChange::Plan)) {
        planChanged();
    }
    if (!m_following) {
        return;
    }
    if (has(changes, DeskChange::ByHand) && !m_acting) {
        heldByHand();
    }
    if (has(changes, DeskChange::Urgent)) {
        // An urgent message that ended hands the wall back to the plan at once.
        m_timer.restartCountdown(0);
    }
}

void PlanFollower::planChanged() {
    const DeskState& state = m_desk.state();
    const bool replaced = state.plan != m_plan;
    if (replaced) {
        m_plan = state.plan;
        m_timeline = m_plan ? std::make_unique<PlanTimeline>(*m_plan, m_zone) : nullptr;
        m_cached.reset();
    }
    if (!m_desk.followsPlan()) {
        if (m_following) {
            m_following = false;
            m_timer.setEnabled(false);
            m_desk.tell("予定に従うのをやめました。");
        }
        m_ran.reset();
        m_held.reset();
        m_noted.reset();
        return;
    }
    if (!m_following) {
        m_following = true;
    } else if (replaced) {
        // A new plan that runs the same now lets the show go on; a hold lasts to its next change.
        const InForce entry = inForce(m_clock.realUs());
        if (m_ran && m_ran->run == entry.run) {
            m_ran = entry;
        }
        if (m_held) {
            m_held = entry.key;
        }
        m_noted.reset();
    }
    m_timer.setEnabled(true);
    m_timer.restartCountdown(0);
}

PlanFollower::InForce PlanFollower::inForce(std::int64_t nowUs) {
    if (m_cached && nowUs >= m_cached->key.sinceUs && nowUs < m_cached->untilUs) {
        return *m_cached;
    }
    const PlanChoice choice = m_timeline->choiceAt(nowUs);
    m_cached = InForce{{choice, m_timeline->lastChange(nowUs).value_or(always)},
                       m_timeline->nextChange(nowUs).value_or(never),
                       m_timeline->run(choice)};
    return *m_cached;
}

void PlanFollower::look() {
    if (!m_following || m_desk.isClosed()) {
        return;
    }
    const std::int64_t now = m_clock.realUs();
    const InForce entry = inForce(now);
    if (m_desk.state().urgent) {
        noteUnderUrgent(entry);
    } else if (!m_held || *m_held != entry.key) {
        if (m_held) {
            // The change the hold lasted to: the plan takes over again, whatever ran before.
            m_held.reset();
            m_ran.reset();
        }
        if (!m_ran || m_ran->key != entry.key) {
            run(entry);
        }
    }
    lookAgainBy(entry.untilUs, now);
}

void PlanFollower::lookAgainBy(std::int64_t untilUs, std::int64_t nowUs) {
    // The timers count steady time. A real-time clock that ran faster since the last look (a
    // rehearsal clock, or one stepped forward) brings the change nearer in the timers' time.
    const std::int64_t steadyUs = m_clock.steadyUs();
    double leftUs = static_cast<double>(untilUs - nowUs);
    if (m_lastLook && steadyUs > m_lastLook->steadyUs &&
        nowUs - m_lastLook->realUs > steadyUs - m_lastLook->steadyUs) {
        leftUs = leftUs * static_cast<double>(steadyUs - m_lastLook->steadyUs) /
                 static_cast<double>(nowUs - m_lastLook->realUs);
    }
    if (!m_lastLook) {
        // How fast the real-time clock runs is known from the second look on: the first comes
        // soon, so that a rehearsal clock's first change is not a whole look late.
        leftUs = std::min(leftUs, static_cast<double>(firstLookMs * usPerMs));
    }
    m_lastLook = Look{steadyUs, nowUs};
    if (leftUs < lookEveryMs * usPerMs) {
        m_timer.restartCountdown(static_cast<int>(std::ceil(leftUs / usPerMs)));
    }
}

void PlanFollower::heldByHand() {
    if (!m_timeline) {
        return;
    }
    const std::int64_t now = m_clock.realUs();
    const InForce entry = inForce(now);
    m_held = entry.key;
    m_desk.tell(entry.untilUs == never
                    ? std::string("手動で変更中：予定はこの先変わりません")
                    : "手動で変更中：" + planWords::at(m_zone, entry.untilUs, now) +
                          " に予定へ戻ります");
}

void PlanFollower::noteUnderUrgent(const InForce& entry) {
    const bool ran = m_ran && m_ran->key == entry.key;
    const bool held = m_held && *m_held == entry.key;
    if (ran || held || m_noted == entry.key) {
        return;
    }
    m_noted = entry.key;
    const std::string since =
        entry.key.sinceUs == always
            ? std::string()
            : planWords::at(m_zone, entry.key.sinceUs, m_clock.realUs()) + " から";
    m_desk.tell("緊急表示中：予定は " + since + planWords::shown(entry.run) +
                "です。緊急表示が終わってから切り替えます");
}

bool PlanFollower::run(const InForce& entry) {
    if (!entry.run.blank && !m_desk.state().step.empty()) {
        return false; // the operator has a file chooser open; the next look tries again
    }
    m_acting = true;
    std::string said;
    if (entry.run.blank) {
        m_desk.stop();
        said = status(entry);
    } else {
        said = runShow(entry);
    }
    m_acting = false;
    m_ran = entry;
    m_noted.reset();
    m_desk.tell(said);
    return true;
}

std::string PlanFollower::runShow(const InForce& entry) {
    std::string said;
    const std::string cannot = "予定の" + planWords::shown(entry.run) + "を表示できません：";
    if (!keepUnsavedList(said)) {
        m_desk.stop();
        return cannot + said + nextWords(entry);
    }
    const DeskOutcome loaded = m_desk.load(planFile::showPath(m_desk.state().planFile, entry.run));
    if (!loaded.done()) {
        return said + cannot + loaded.words() + nextWords(entry);
    }
    m_desk.setSettings(settingsOf(entry.run));
    const DeskOutcome started = m_desk.start();
    if (!started.done()) {
        return said + cannot + started.words() + nextWords(entry);
    }
    // A warning of the load (a file of more than 101 items) goes with it.
    for (const DeskMessage& message : loaded.messages) {
        said += message.text;
    }
    return said + status(entry);
}

bool PlanFollower::keepUnsavedList(std::string& said) {
    const DeskState& state = m_desk.state();
    if (!state.listUnsaved || m_desk.list().count() == 0) {
        return true;
    }
    const std::filesystem::path path = recoveryPath();
    switch (showFile::write(path, m_desk.table())) {
    case WriteStatus::Ok:
        said = "変更したままの表示のリストを「" + path.string() + "」に保存しました。";
        return true;
    case WriteStatus::LineBreak:
    case WriteStatus::NotShiftJis:
        said = "変更したままの表示のリストに、ファイルに書けない値があり、保存できません。";
        return false;
    case WriteStatus::IoError:
        break;
    }
    said = "変更したままの表示のリストを「" + path.string() + "」に保存できません。";
    return false;
}

std::filesystem::path PlanFollower::recoveryPath() const {
    const std::string name = "unsaved-list-" + stamp(m_zone, m_clock.realUs());
    std::filesystem::path path = m_recoveryFolder / (name + ".txt");
    std::error_code error;
    for (int n = 2; std::filesystem::exists(path, error); ++n) {
        path = m_recoveryFolder / (name + "-" + std::to_string(n) + ".txt");
    }
    return path;
}

std::string PlanFollower::status(const InForce& entry) const {
    const std::string next = nextWords(entry);
    return "予定：" + planWords::shown(entry.run) + (entry.run.blank ? "" : "を表示中") +
           (next.empty() ? "" : "。" + next);
}

std::string PlanFollower::nextWords(const InForce& entry) const {
    if (entry.untilUs == never) {
        return {};
    }
    const PlanRun& next = m_timeline->run(m_timeline->choiceAt(entry.untilUs));
    return "次は " + planWords::at(m_zone, entry.untilUs, m_clock.realUs()) + " から" +
           planWords::shown(next);
}

} // namespace lm
