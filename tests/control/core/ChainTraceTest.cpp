// The run controller's job writes when every present display answers in time, compared with
// traces recorded from the controller of commit 93acaec (traces/chain-traces.txt). The
// displays are stand-ins without display logic: each present one touches its presence file and
// answers every item job at fixed times after the job was written, by kind and speed.
//
// To record the traces again (at that commit, or where a change of the chain is meant to show),
// from the top of this tree:
//   t=$PWD/tests/control/core
//   git worktree add /tmp/rec 93acaec
//   cp $t/ChainTraceTest.cpp $t/CMakeLists.txt /tmp/rec/tests/control/core/
//   cmake -S /tmp/rec -B /tmp/rec/build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLM_BUILD_TESTS=ON
//   cmake --build /tmp/rec/build --target chain_trace_tests
//   cd /tmp/rec/build/tests/control/core
//   LM_RECORD_CHAIN_TRACES=$t/traces/chain-traces.txt ./chain_trace_tests

#include "FakeRunView.h"
#include "NumberText.h"
#include "RunController.h"
#include "TempDir.h"
#include "TestRows.h"
#include "VirtualClock.h"
#include "Vocabulary.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <set>

namespace lm {
namespace {

using test::pictureRow;
using test::textRow;

constexpr int displays = RunController::displayCount;
constexpr std::int64_t showStartMs = 1000; // the stand-ins' presence is known by then

struct Scenario {
    std::string name;
    std::vector<ItemTable::Row> rows{};
    std::string speed = "速く";
    std::string movement = "左へ";
    bool repeat = false;
    int displayCount = displays; // as set in the control window
    std::set<int> absent{};      // no presence file, no answers
    std::int64_t runMs = 0;      // from "表示させる" on
    // Each next answer written once more this much later, as by a display started again in
    // place; 0: once.
    std::int64_t nextAgainMs = 0;
};

// When a stand-in answers an item job, in ms after it was written, at "速く"; each slower speed
// word takes as long again. Never on a multiple of 100, so no answer meets a controller tick.
struct AnswerTimes {
    std::int64_t nextMs = 0;
    std::int64_t endMs = 0;
};

AnswerTimes answerTimes(const std::vector<std::string>& job) {
    const std::int64_t slower = vocabulary::speedPosition(job[jobLine::speed]).value_or(2) + 1;
    if (job[jobLine::kind] == vocabulary::kindText) {
        return {1030 * slower, 1670 * slower};
    }
    if (job[jobLine::movement] == vocabulary::moveLeft) {
        return {3030 * slower, 5710 * slower};
    }
    return {1030 * slower, 1930 * slower};
}

// A job file as one line: its ten lines in UTF-8 joined with " | " in brackets, marked when
// its line ends are not ten CR LF.
std::string jobText(const std::string& bytes) {
    if (bytes.empty()) {
        return "deleted";
    }
    std::string text;
    for (const std::string& line : lineFile::decode(bytes)) {
        text += (text.empty() ? "" : " | ") + line;
    }
    const auto count = [&](std::string_view what) {
        std::size_t found = 0;
        for (std::size_t at = bytes.find(what); at != std::string::npos;
             at = bytes.find(what, at + 1)) {
            ++found;
        }
        return found;
    };
    const bool tenLines =
        count("\r\n") == 10 && count("\r") == 10 && count("\n") == 10 && bytes.ends_with("\r\n");
    return (tenLines ? "[" : "(line ends!) [") + text + "]";
}

// The controller on a virtual clock with a stand-in for every present display.
class ChainRun {
public:
    explicit ChainRun(const Scenario& scenario) : m_scenario(scenario) {
        exchange.make();
        for (const ItemTable::Row& row : scenario.rows) {
            table.append(row);
        }
        for (const char* picture : {"moving.jpg", "still.jpg", "a.jpg", "b.jpg", "c.jpg"}) {
            std::ofstream(dir.path() / picture) << "GIF89a";
        }
        view.speed = scenario.speed;
        view.movement = scenario.movement;
        view.repeat = scenario.repeat;
        view.displayCount = std::to_string(scenario.displayCount);
        for (int n = 0; n < RunController::timerCount; ++n) {
            clock.attach(controller.timer(n));
            controller.timer(n).setHandler([this, n] {
                if (n == 0) {
                    controller.Timer0_Timer();
                } else if (n == 1) {
                    controller.Timer1_Timer();
                } else {
                    controller.watcherTimer(n);
                }
                lookAtJobs();
            });
        }
        clock.attach(controller.wallTimer());
        for (int n = 1; n <= displays; ++n) {
            if (!scenario.absent.contains(n)) {
                attachStandIn(n);
            }
        }
    }

    std::vector<std::string> run() {
        clock.advanceTo(showStartMs);
        EXPECT_EQ(controller.cmdDisplay_Click(), "") << m_scenario.name;
        clock.advanceTo(showStartMs + m_scenario.runMs);
        return m_trace;
    }

private:
    struct StandIn {
        Timer presence;
        Timer next;
        Timer end;
        std::string head; // line 1 of the job it answers
        int nextLeft = 0;
    };

    void attachStandIn(int n) {
        StandIn& d = m_standIns[static_cast<std::size_t>(n)];
        for (Timer* timer : {&d.presence, &d.next, &d.end}) {
            clock.attach(*timer);
        }
        // The presence file takes the virtual time, as a display's would take its own.
        d.presence.setHandler([this, n] {
            exchange.touchPresence(n);
            std::error_code ignored;
            std::filesystem::last_write_time(
                exchange.presencePath(n),
                std::filesystem::file_time_type(std::chrono::milliseconds(clock.now())), ignored);
        });
        d.presence.setInterval(500);
        d.presence.setEnabled(true);
        for (const auto& [timer, kind] :
             {std::pair{&d.next, AnswerKind::Next}, std::pair{&d.end, AnswerKind::End}}) {
            timer->setHandler([this, n, answer = timer, k = kind, &d] {
                exchange.writeAnswer(n, k, d.head);
                if (k == AnswerKind::Next && --d.nextLeft > 0) {
                    answer->setInterval(static_cast<int>(m_scenario.nextAgainMs));
                } else {
                    answer->setEnabled(false);
                }
            });
        }
    }

    // After every controller tick: each job file written or deleted since the last look. A
    // file's time is set back after the look, so a write of the same bytes shows as well.
    void lookAtJobs() {
        const std::filesystem::file_time_type seen{};
        for (int n = 1; n <= displays; ++n) {
            const std::filesystem::path path = exchange.jobPath(n);
            std::error_code error;
            const auto written = std::filesystem::last_write_time(path, error);
            bool& present = m_jobPresent[static_cast<std::size_t>(n)];
            if (error ? !present : written == seen) {
                continue;
            }
            present = !error;
            const std::string bytes = present ? lineFile::readBytes(path).value_or("?") : "";
            std::filesystem::last_write_time(path, seen, error);
            m_trace.push_back(std::to_string(clock.now()) + " " + std::to_string(n) + ": " +
                              jobText(bytes));
            jobWritten(n, bytes);
        }
    }

    // A stand-in drops the item it shows for a new job; a deleted job changes nothing.
    void jobWritten(int n, const std::string& bytes) {
        StandIn& d = m_standIns[static_cast<std::size_t>(n)];
        if (m_scenario.absent.contains(n) || bytes.empty()) {
            return;
        }
        const std::vector<std::string> job = lineFile::decode(bytes);
        d.head = job.at(jobLine::itemNumber);
        d.next.setEnabled(false);
        d.end.setEnabled(false);
        if (numericValue(d.head) < 0) {
            return;
        }
        const AnswerTimes times = answerTimes(job);
        d.nextLeft = m_scenario.nextAgainMs > 0 ? 2 : 1;
        for (const auto& [timer, ms] :
             {std::pair{&d.next, times.nextMs}, std::pair{&d.end, times.endMs}}) {
            timer->setInterval(static_cast<int>(ms));
            timer->setEnabled(true);
        }
    }

    const Scenario& m_scenario;
    test::TempDir dir;
    ExchangeFolder exchange{dir.path()};
    ItemTable table;
    test::FakeRunView view;
    test::VirtualClock clock;
    RunController controller{table, dir.path(), view};
    std::array<StandIn, displays + 1> m_standIns;
    std::array<bool, displays + 1> m_jobPresent{};
    std::vector<std::string> m_trace;
};

std::vector<Scenario> scenarios() {
    const auto moving = pictureRow("moving.jpg", "左へ");
    const auto still = pictureRow("still.jpg", "移動しない");
    return {
        {.name = "three texts at 速く, once",
         .rows = {textRow("本日は"), textRow("ようこそ"), textRow("また")},
         .displayCount = 4,
         .runMs = 20'000},
        {.name = "two texts at 中, repeated",
         .rows = {textRow("お知らせ"), textRow("皆様")},
         .speed = "中",
         .repeat = true,
         .displayCount = 4,
         .runMs = 45'000},
        // Moving pictures overtake the texts down the wall: rows cut off, and the same row
        // again a round later.
        {.name = "a text, a moving and a still picture, repeated",
         .rows = {textRow("お知らせ"), moving, still},
         .repeat = true,
         .runMs = 40'000},
        {.name = "a still show, repeated",
         .rows = {pictureRow("a.jpg", "移動しない"), pictureRow("b.jpg", "移動しない"),
                  pictureRow("c.jpg", "移動しない")},
         .movement = "移動しない",
         .repeat = true,
         .runMs = 6'000},
        {.name = "display 3 absent between 2 and 4",
         .rows = {textRow("お知らせ"), moving, still},
         .displayCount = 5,
         .absent = {3},
         .runMs = 30'000},
        {.name = "every next answer twice: a repeated report sends a still picture early",
         .rows = {textRow("お知らせ"), still, textRow("皆様")},
         .displayCount = 5,
         .runMs = 25'000,
         .nextAgainMs = 1510},
    };
}

// The fixture's traces by scenario: a line "== name", then its job writes.
std::map<std::string, std::vector<std::string>> readTraces(const std::filesystem::path& path) {
    std::map<std::string, std::vector<std::string>> traces;
    std::ifstream in(path);
    std::vector<std::string>* current = nullptr;
    for (std::string line; std::getline(in, line);) {
        if (line.starts_with("== ")) {
            current = &traces[line.substr(3)];
        } else if (current && !line.empty() && !line.starts_with("#")) {
            current->push_back(line);
        }
    }
    return traces;
}

TEST(ChainTrace, JobWritesAreAsRecordedWhenNoDisplayFails) {
    std::string recorded =
        "# The run controller's job writes, recorded at commit 93acaec by ../ChainTraceTest.cpp.\n"
        "# To record them again: git worktree add /tmp/rec 93acaec, copy ChainTraceTest.cpp and\n"
        "# CMakeLists.txt into its tests/control/core, build chain_trace_tests there and run it\n"
        "# with LM_RECORD_CHAIN_TRACES=<this file> (the commands are at the top of the test).\n"
        "# One line per write: virtual ms, display: the job's ten lines, or \"deleted\".\n";
    const std::map<std::string, std::vector<std::string>> expected = readTraces(LM_CHAIN_TRACES);
    for (const Scenario& scenario : scenarios()) {
        ChainRun run(scenario);
        const std::vector<std::string> trace = run.run();
        recorded += "\n== " + scenario.name + "\n";
        for (const std::string& line : trace) {
            recorded += line + "\n";
        }
        const auto found = expected.find(scenario.name);
        const std::vector<std::string> want =
            found == expected.end() ? std::vector<std::string>{} : found->second;
        const auto [mine, theirs] =
            std::mismatch(trace.begin(), trace.end(), want.begin(), want.end());
        if (!std::getenv("LM_RECORD_CHAIN_TRACES") &&
            (mine != trace.end() || theirs != want.end())) {
            ADD_FAILURE() << scenario.name << ", write " << mine - trace.begin() + 1 << " of "
                          << trace.size() << " (recorded: " << want.size() << ")\n"
                          << "  now:      " << (mine == trace.end() ? "-" : *mine) << "\n"
                          << "  recorded: " << (theirs == want.end() ? "-" : *theirs);
        }
    }
    if (const char* path = std::getenv("LM_RECORD_CHAIN_TRACES")) {
        std::ofstream(path, std::ios::binary) << recorded;
    }
}

} // namespace
} // namespace lm
