// The week plan followed on the operator's desk, on a virtual clock: what the desk did at each
// change of the plan, as its observers and display 1's job file saw it, in Tokyo and in Berlin
// across both of its clock changes.

#include "PlanFollower.h"

#include "QtTimeZone.h"
#include "ShiftedClock.h"
#include "ShowFile.h"
#include "TempDir.h"
#include "TestRows.h"
#include "VirtualClock.h"
#include "VirtualWallClock.h"

#include <QDateTime>
#include <QTimeZone>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>

namespace lm {
namespace {

namespace fs = std::filesystem;

// One week of entries; the Sunday entry starts where the clock springs forward in Berlin and
// runs through the hour it repeats in autumn.
constexpr const char* weekPlan = R"(lmsign-plan 1
[otherwise]
blank

[weekly]
days = mon-fri
time = 09:00-18:00
show = day.txt
movement = 左へ
speed = 速く

[weekly]
days = fri sat
time = 22:00-02:30
show = night.txt
speed = 遅く
repeat = no

[weekly]
days = sun
time = 02:30-05:00
show = early.txt
displays = 4

[weekly]
days = wed
time = 18:00-20:00
show = one.txt

[weekly]
days = thu
time = 18:00-20:00
show = gone.txt

[dated]
dates = 2025-12-24
time = 17:00-22:00
show = xmas.txt
displays = 8
)";

class Scenario;
using Action = std::function<void(Scenario&)>;

// At that local time ("2025-12-05 21:00", as the clock of the moment reads it), the action.
struct Step {
    const char* at;
    Action action;
};

// A control program's desk and plan follower in a working folder, on the virtual clock; it
// can be ended and started again with --resume, as after a power cut.
class Scenario : private DeskObserver {
public:
    Scenario(const char* zoneName, const char* start)
        : m_qzone(zoneName), m_zone(QByteArray(zoneName)), m_wall(m_clock, utcMs(start) * 1000) {
        std::ofstream(dir.path() / "plan.txt") << weekPlan;
        writeShow("day.txt", 2);
        writeShow("night.txt", 3);
        writeShow("early.txt", 2);
        writeShow("xmas.txt", 4);
        writeShow("one.txt", 1);
        open(false);
    }
    ~Scenario() override { m_desk->removeObserver(*this); }

    OperatorDesk& desk() { return *m_desk; }
    const std::vector<std::string>& events() const { return m_events; }
    const std::vector<std::string>& notices() const { return m_notices; }

    void runTo(const char* local) {
        const std::int64_t ms = utcMs(local) - m_wall.realUs() / 1000;
        ASSERT_GE(ms, 0) << local;
        m_clock.advance(ms);
    }
    // The real-time clock set to that local time, as a time service or the operator does.
    void stepClockTo(const char* local) { m_wall.stepReal(utcMs(local) * 1000 - m_wall.realUs()); }
    // The program ends as at a power cut, and starts again with --resume.
    void restart() {
        m_follower.reset();
        m_desk->removeObserver(*this);
        m_desk->close(Ending::System);
        open(true);
        note("restart");
    }

private:
    void open(bool resume) {
        m_desk = std::make_unique<OperatorDesk>(
            OperatorDesk::Options{dir.path(), state.path(), &m_wall});
        m_desk->open();
        // Only the urgent message's timer: the chain's ticks would take a week of virtual time
        // far too long, and nothing here depends on them.
        m_clock.attach(m_desk->urgent().timer());
        m_desk->setJobWritten([this](int n, const std::string& head) {
            if (n == 1 && head == "-1") {
                note("stop");
            }
        });
        m_follower = std::make_unique<PlanFollower>(*m_desk, m_zone, m_wall, dir.path());
        m_clock.attach(m_follower->timer());
        m_quiet = true;
        if (resume) {
            ASSERT_TRUE(m_desk->resume().done());
        }
        m_running = m_desk->state().showRunning;
        m_quiet = false;
        m_desk->addObserver(*this);
    }

    void deskChanged(DeskChanges changes) override {
        const DeskState& desk = m_desk->state();
        const std::string file = fs::path(desk.listFile).filename().string();
        if (has(changes, DeskChange::Loaded)) {
            note("load " + file);
        }
        if (has(changes, DeskChange::Run) && desk.showRunning != m_running) {
            m_running = desk.showRunning;
            const ShowSettings& s = desk.settings;
            if (m_running) {
                note("start " + file + " " + s.speed + "/" + s.movement + "/" + s.displayCount +
                     "/" + (s.repeat ? "繰り返し" : "1回"));
            }
        }
        if (has(changes, DeskChange::Notice)) {
            m_notices.push_back(desk.notice);
        }
    }

    void note(const std::string& what) {
        if (m_quiet) {
            return;
        }
        const QDateTime at = QDateTime::fromMSecsSinceEpoch(m_wall.realUs() / 1000, m_qzone);
        std::string when = at.toString(QStringLiteral("MM-dd HH:mm:ss")).toStdString();
        if (m_qzone.id() == "Europe/Berlin") {
            when += at.offsetFromUtc() == 7200 ? " CEST" : " CET";
        }
        m_events.push_back(when + " " + what);
    }

    // A local time in the zone, by Qt's own reading of it, in ms of UTC.
    std::int64_t utcMs(const char* local) const {
        const QDateTime plain =
            QDateTime::fromString(QString::fromLatin1(local), QStringLiteral("yyyy-MM-dd HH:mm"));
        return QDateTime(plain.date(), plain.time(), m_qzone).toMSecsSinceEpoch();
    }

    void writeShow(const char* name, int items) const {
        ItemTable table;
        for (int i = 0; i < items; ++i) {
            table.append(test::textRow(std::string(name) + " " + std::to_string(i)));
        }
        ASSERT_EQ(showFile::write(dir.path() / name, table), WriteStatus::Ok);
    }

public:
    test::TempDir dir;
    test::TempDir state;

private:
    QTimeZone m_qzone;
    QtTimeZone m_zone;
    test::VirtualClock m_clock;
    test::VirtualWallClock m_wall;
    std::unique_ptr<OperatorDesk> m_desk;
    std::unique_ptr<PlanFollower> m_follower;
    std::vector<std::string> m_events;
    std::vector<std::string> m_notices;
    bool m_running = false;
    bool m_quiet = false;
};

// --- What the operator and the world do -------------------------------------------------------

void follow(Scenario& s) {
    ASSERT_TRUE(s.desk().usePlan(s.dir.path() / "plan.txt").done());
    ASSERT_TRUE(s.desk().followPlan(true).done());
}

Action loadAndStart(const char* file) {
    return [file](Scenario& s) {
        ASSERT_TRUE(s.desk().load(s.dir.path() / file).done());
        ASSERT_TRUE(s.desk().start().done());
    };
}

Action say(int minutes) {
    return [minutes](Scenario& s) {
        UrgentMessage message;
        message.text = "地震です";
        ASSERT_TRUE(s.desk().say(message, minutes).done());
    };
}

void endUrgent(Scenario& s) {
    s.desk().endUrgent();
}

void addItem(Scenario& s) {
    ASSERT_TRUE(s.desk().add({"お知らせ", "移動しない", "白", "黒", "中", ""}).done());
}

Action stepClockTo(const char* local) {
    return [local](Scenario& s) {
        s.stepClockTo(local);
    };
}

void restart(Scenario& s) {
    s.restart();
}

struct Row {
    const char* name;
    const char* zone;
    std::vector<Step> steps; // the first one starts the clock
    std::vector<std::string> events;
    // Said in the notices, in this order, among what else was said.
    std::vector<std::string> said;
    // Anything more to look at once the steps are done.
    Action check;
};

const Row rows[] = {
    {"a span past midnight, Friday into Saturday",
     "Asia/Tokyo",
     {{"2025-12-05 21:00", follow}, {"2025-12-06 03:00", nullptr}},
     {"12-05 21:00:00 stop", "12-05 22:00:00 stop", "12-05 22:00:00 load night.txt",
      "12-05 22:00:00 start night.txt 遅く/移動しない/16/1回", "12-06 02:30:00 stop"},
     {"予定：表示なし。次は 22:00 から「night.txt」",
      "予定：「night.txt」を表示中。次は 2025/12/06 02:30 から表示なし"},
     nullptr},
    {"a dated day over a weekday, and the week again the day after",
     "Asia/Tokyo",
     {{"2025-12-24 16:00", follow}, {"2025-12-25 10:00", nullptr}},
     {"12-24 16:00:00 stop", "12-24 16:00:00 load day.txt",
      "12-24 16:00:00 start day.txt 速く/左へ/16/繰り返し", "12-24 17:00:00 stop",
      "12-24 17:00:00 load xmas.txt", "12-24 17:00:00 start xmas.txt 中/移動しない/8/繰り返し",
      "12-24 22:00:00 stop", "12-25 09:00:00 stop", "12-25 09:00:00 load day.txt",
      "12-25 09:00:00 start day.txt 速く/左へ/16/繰り返し"},
     {},
     nullptr},
    {"a show that cannot start is not tried again until the next change",
     "Asia/Tokyo",
     {{"2025-12-17 17:30", follow}, {"2025-12-18 20:30", nullptr}},
     {"12-17 17:30:00 stop", "12-17 17:30:00 load day.txt",
      "12-17 17:30:00 start day.txt 速く/左へ/16/繰り返し", "12-17 18:00:00 stop",
      "12-17 18:00:00 load one.txt", "12-17 20:00:00 stop", "12-18 09:00:00 stop",
      "12-18 09:00:00 load day.txt", "12-18 09:00:00 start day.txt 速く/左へ/16/繰り返し",
      "12-18 18:00:00 stop", "12-18 20:00:00 stop"},
     {"予定の「one.txt」を表示できません：２項目以上", "次は 20:00 から表示なし",
      "予定の「gone.txt」を表示できません：ファイル「"},
     [](Scenario& s) {
         // The list of the file that could not be read is still the one before.
         EXPECT_EQ(fs::path(s.desk().state().listFile).filename(), "day.txt");
     }},
    {"a start, stop or load by hand holds until the next change",
     "Asia/Tokyo",
     {{"2025-12-08 08:00", follow},
      {"2025-12-08 10:00", loadAndStart("night.txt")},
      {"2025-12-08 19:00",
       [](Scenario& s) {
           ASSERT_TRUE(s.desk().start().done());
       }},
      {"2025-12-09 09:30",
       [](Scenario& s) {
           ASSERT_TRUE(s.desk().stop().done());
       }},
      {"2025-12-09 18:30", nullptr}},
     {"12-08 08:00:00 stop", "12-08 09:00:00 stop", "12-08 09:00:00 load day.txt",
      "12-08 09:00:00 start day.txt 速く/左へ/16/繰り返し", "12-08 10:00:00 stop",
      "12-08 10:00:00 load night.txt", "12-08 10:00:00 start night.txt 速く/左へ/16/繰り返し",
      "12-08 18:00:00 stop", "12-08 19:00:00 start night.txt 速く/左へ/16/繰り返し",
      "12-09 09:00:00 stop", "12-09 09:00:00 load day.txt",
      "12-09 09:00:00 start day.txt 速く/左へ/16/繰り返し", "12-09 09:30:00 stop",
      "12-09 18:00:00 stop"},
     {"手動で変更中：18:00 に予定へ戻ります", "予定：表示なし",
      "手動で変更中：2025/12/09 09:00 に予定へ戻ります", "予定：「day.txt」を表示中",
      "手動で変更中：18:00 に予定へ戻ります"},
     nullptr},
    {"an urgent message across a change, ended by hand and by its time",
     "Asia/Tokyo",
     {{"2025-12-05 17:00", follow},
      {"2025-12-05 17:55", say(0)},
      {"2025-12-05 18:10", endUrgent},
      {"2025-12-05 21:55", say(10)},
      {"2025-12-05 22:30", nullptr}},
     {"12-05 17:00:00 stop", "12-05 17:00:00 load day.txt",
      "12-05 17:00:00 start day.txt 速く/左へ/16/繰り返し", "12-05 18:10:00 stop",
      "12-05 22:05:00 stop", "12-05 22:05:00 stop", "12-05 22:05:00 load night.txt",
      "12-05 22:05:00 start night.txt 遅く/移動しない/16/1回"},
     {"緊急表示中：予定は 18:00 から表示なしです", "予定：表示なし",
      "緊急表示中：予定は 22:00 から「night.txt」です", "予定：「night.txt」を表示中"},
     nullptr},
    {"an urgent message brought back by --resume stays over the plan",
     "Asia/Tokyo",
     {{"2025-12-05 21:50", follow},
      {"2025-12-05 21:55", say(10)},
      {"2025-12-05 21:58", restart},
      {"2025-12-05 22:30", nullptr}},
     {"12-05 21:50:00 stop", "12-05 21:58:00 restart", "12-05 22:05:00 stop", "12-05 22:05:00 stop",
      "12-05 22:05:00 load night.txt", "12-05 22:05:00 start night.txt 遅く/移動しない/16/1回"},
     {"緊急表示中：予定は 18:00 から表示なしです", "緊急表示中：予定は 22:00 から「night.txt」です",
      "予定：「night.txt」を表示中"},
     [](Scenario& s) {
         EXPECT_FALSE(s.desk().state().urgent);
     }},
    {"a resume in the middle of an entry runs the plan's show, not the one before",
     "Asia/Tokyo",
     {{"2025-12-08 08:30", follow},
      {"2025-12-08 10:00", loadAndStart("night.txt")},
      {"2025-12-08 12:00", restart},
      {"2025-12-08 12:01", nullptr}},
     {"12-08 08:30:00 stop", "12-08 09:00:00 stop", "12-08 09:00:00 load day.txt",
      "12-08 09:00:00 start day.txt 速く/左へ/16/繰り返し", "12-08 10:00:00 stop",
      "12-08 10:00:00 load night.txt", "12-08 10:00:00 start night.txt 速く/左へ/16/繰り返し",
      "12-08 12:00:00 restart", "12-08 12:00:00 stop", "12-08 12:00:00 load day.txt",
      "12-08 12:00:00 start day.txt 速く/左へ/16/繰り返し"},
     {"手動で変更中", "予定：「day.txt」を表示中"},
     nullptr},
    {"an unsaved list is saved before the plan replaces it",
     "Asia/Tokyo",
     {{"2025-12-06 20:00", follow}, {"2025-12-06 21:00", addItem}, {"2025-12-06 22:01", nullptr}},
     {"12-06 20:00:00 stop", "12-06 21:00:00 stop", "12-06 22:00:00 stop",
      "12-06 22:00:00 load night.txt", "12-06 22:00:00 start night.txt 遅く/移動しない/16/1回"},
     {"手動で変更中：22:00 に予定へ戻ります", "変更したままの表示のリストを「"},
     [](Scenario& s) {
         const fs::path copy = s.dir.path() / "unsaved-list-20251206-2200.txt";
         const std::optional<showFile::Contents> kept = showFile::read(copy);
         ASSERT_TRUE(kept) << copy;
         ASSERT_EQ(kept->items.size(), 1U);
         EXPECT_EQ(kept->items[0][ItemTable::textField], "お知らせ");
         EXPECT_NE(s.notices().back().find(copy.string()), std::string::npos);
     }},
    {"a clock stepped forward and back runs the entry of the new time once",
     "Asia/Tokyo",
     {{"2025-12-08 08:00", follow},
      {"2025-12-08 10:00", stepClockTo("2025-12-08 18:30")},
      {"2025-12-08 18:35", stepClockTo("2025-12-08 10:00")},
      {"2025-12-08 10:10", stepClockTo("2025-12-08 09:30")},
      {"2025-12-08 09:40", stepClockTo("2025-12-12 23:00")},
      {"2025-12-13 03:00", nullptr}},
     {"12-08 08:00:00 stop", "12-08 09:00:00 stop", "12-08 09:00:00 load day.txt",
      "12-08 09:00:00 start day.txt 速く/左へ/16/繰り返し", "12-08 18:30:10 stop",
      "12-08 10:00:10 stop", "12-08 10:00:10 load day.txt",
      "12-08 10:00:10 start day.txt 速く/左へ/16/繰り返し", "12-12 23:00:10 stop",
      "12-12 23:00:10 load night.txt", "12-12 23:00:10 start night.txt 遅く/移動しない/16/1回",
      "12-13 02:30:00 stop"},
     {},
     nullptr},
    {"Berlin in spring: an entry from a skipped time starts at the change",
     "Europe/Berlin",
     {{"2025-03-29 21:00", follow}, {"2025-03-30 06:00", nullptr}},
     {"03-29 21:00:00 CET stop", "03-29 22:00:00 CET stop", "03-29 22:00:00 CET load night.txt",
      "03-29 22:00:00 CET start night.txt 遅く/移動しない/16/1回", "03-30 03:00:00 CEST stop",
      "03-30 03:00:00 CEST load early.txt",
      "03-30 03:00:00 CEST start early.txt 中/移動しない/4/繰り返し", "03-30 05:00:00 CEST stop"},
     {"予定：「night.txt」を表示中。次は 2025/03/30 03:00 から「early.txt」"},
     nullptr},
    {"Berlin in autumn: the repeated hour runs nothing twice",
     "Europe/Berlin",
     {{"2025-10-25 21:00", follow}, {"2025-10-26 06:00", nullptr}},
     {"10-25 21:00:00 CEST stop", "10-25 22:00:00 CEST stop", "10-25 22:00:00 CEST load night.txt",
      "10-25 22:00:00 CEST start night.txt 遅く/移動しない/16/1回", "10-26 02:30:00 CEST stop",
      "10-26 02:30:00 CEST load early.txt",
      "10-26 02:30:00 CEST start early.txt 中/移動しない/4/繰り返し", "10-26 05:00:00 CET stop"},
     {},
     nullptr},
};

void PrintTo(const Row& row, std::ostream* os) {
    *os << row.name;
}

class PlanFollowerTest : public ::testing::TestWithParam<Row> {};

TEST_P(PlanFollowerTest, TheDeskDoesWhatThePlanSaysWhenItSaysIt) {
    const Row& row = GetParam();
    Scenario scenario(row.zone, row.steps.front().at);
    for (const Step& step : row.steps) {
        scenario.runTo(step.at);
        if (step.action) {
            step.action(scenario);
        }
        ASSERT_FALSE(HasFatalFailure()) << step.at;
    }
    EXPECT_EQ(scenario.events(), row.events);
    std::size_t from = 0;
    for (const std::string& words : row.said) {
        const auto& notices = scenario.notices();
        while (from < notices.size() && notices[from].find(words) == std::string::npos) {
            ++from;
        }
        EXPECT_LT(from, notices.size()) << "not said: " << words;
    }
    if (row.check) {
        row.check(scenario);
    }
}

// A rehearsal clock (LMSIGN_CLOCK) that runs six times as fast: its first change falls when the
// plan says, not at the follower's next routine look.
TEST(PlanFollowerRehearsal, AFastClocksFirstChangeFallsOnTime) {
    test::TempDir dir;
    std::ofstream(dir.path() / "plan.txt") << "lmsign-plan 1\n[weekly]\ndays = mon-sun\n"
                                              "time = 10:00-11:00\nshow = a.txt\n";
    ItemTable table;
    table.append(test::textRow("一"));
    table.append(test::textRow("二"));
    ASSERT_EQ(showFile::write(dir.path() / "a.txt", table), WriteStatus::Ok);
    // 2025-12-05 09:59:30 UTC, 30 s of the plan (5 s of the timers) before its change.
    constexpr std::int64_t readsUs = 1'764'928'770'000'000;
    test::VirtualClock clock;
    test::VirtualWallClock base(clock, 1'700'000'000'000'000);
    const ShiftedClock rehearsal(base, readsUs, base.realUs(), 6);
    OperatorDesk desk({dir.path(), {}, &rehearsal});
    desk.open();
    const QtTimeZone zone(QByteArray("UTC"));
    PlanFollower follower(desk, zone, rehearsal, dir.path());
    clock.attach(follower.timer());
    ASSERT_TRUE(desk.followPlanFile(true).done());
    clock.advance(4900);
    EXPECT_FALSE(desk.state().showRunning);
    clock.advance(1100);
    EXPECT_TRUE(desk.state().showRunning);
}

INSTANTIATE_TEST_SUITE_P(Week, PlanFollowerTest, ::testing::ValuesIn(rows),
                         [](const ::testing::TestParamInfo<Row>& param) {
                             std::string name;
                             for (const char c : std::string(param.param.name)) {
                                 name += std::isalnum(static_cast<unsigned char>(c)) != 0 ? c : '_';
                             }
                             return name;
                         });

} // namespace
} // namespace lm
