#pragma once

#include "UrgentMessage.h"
#include "UrgentReach.h"
#include "Vocabulary.h"
#include "WallCell.h"
#include "WeekPlan.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace lm {

// How the program ends: the operator closed it, or the system ended it (a signal, logout). A
// show the system ended is started again by --resume.
enum class Ending { Operator, System };

// The settings a show runs with: the texts of the window's lists ComboTMove, ComboTSpeed and
// the hidden ComboNum, and Check1. Any text, since the lists are editable.
struct ShowSettings {
    std::string movement{vocabulary::moveStill};
    std::string speed{vocabulary::defaultSpeed};
    std::string displayCount = "16";
    bool repeat = true; // a sign normally runs its list over and over

    friend bool operator==(const ShowSettings&, const ShowSettings&) = default;
};

// What the desk shows every front end, beside the list.
struct DeskState {
    ShowSettings settings;
    // A show was started and the operator has not stopped it: --resume starts it again.
    bool showRunning = false;
    // The frame "現在の表示": lblDisplay "表示中", the captions of lblCon and lblNum, and
    // lblNum turned bright red once the starter has switched every watcher on.
    bool showingVisible = false;
    std::string computerCaption = "ｺﾝﾋﾟｭｰﾀ";
    std::string lineCaption = "行";
    bool starterStopped = false;
    // Job files that cannot be written, or a show that could not go on: empty when all is well.
    std::string jobWriteProblem;
    // The display computers 1 to 16 (index 0 unused), and since when (real-time µs) each one
    // that is silent has been so.
    std::array<WallCell, vocabulary::maxDisplays + 1> cells{};
    std::array<std::int64_t, vocabulary::maxDisplays + 1> silentSinceUs{};
    // The urgent message that runs, and how far it has got.
    std::optional<UrgentMessage> urgent;
    UrgentReach reach;
    // The modal step a front end holds open, as the operator sees it; empty: none.
    std::string step;
    // The show file the list was last loaded from or saved to (empty: none), and whether the
    // operator changed the list since: such a list would be lost to the next load.
    std::string listFile;
    bool listUnsaved = false;
    // What the desk last said without a box (the plan's doings): the window's corner line, the
    // log and the web API show it.
    std::string notice;
    // The week plan: its file, the plan as last read from it, and "予定に従う".
    std::string planFile;
    std::optional<WeekPlan> plan;
    bool followPlan = false;
};

// What changed, as bits; an observer reads the parts it shows anew.
enum class DeskChange : unsigned {
    List = 1U << 0U,
    Settings = 1U << 1U,
    Run = 1U << 2U, // showRunning, the frame "現在の表示"
    JobWrite = 1U << 3U,
    Wall = 1U << 4U,
    Urgent = 1U << 5U,
    Step = 1U << 6U,
    Announcement = 1U << 7U,
    Loaded = 1U << 8U, // a show file (or the copy) replaced the list: the picture choice clears
    Notice = 1U << 9U,
    Plan = 1U << 10U, // planFile, plan, followPlan
    // With the other bits of a start, stop, load, save or change of the list that a front end
    // asked for: never from the chain's ticks, an urgent message or a resume.
    ByHand = 1U << 11U,
};
using DeskChanges = unsigned;

constexpr DeskChanges operator|(DeskChange a, DeskChange b) {
    return static_cast<unsigned>(a) | static_cast<unsigned>(b);
}
constexpr DeskChanges operator|(DeskChanges a, DeskChange b) {
    return a | static_cast<unsigned>(b);
}
constexpr bool has(DeskChanges changes, DeskChange change) {
    return (changes & static_cast<unsigned>(change)) != 0;
}

} // namespace lm
