#include "WakeUp.h"

#include "WakeUpGate.h"
#include "WakeUpPorts.h"

#include <gtest/gtest.h>

namespace lm {
namespace {

using namespace std::string_literals;

constexpr std::int64_t ms = 1000;

// What display 2 makes of a datagram: whether it reads as a wake-up, and whether it wakes.
TEST(WakeUp, OnlyAWholeWakeUpForTheProgramsOwnFileWakesIt) {
    const std::string name64(64, 'x');
    const struct {
        const char* what;
        std::string bytes;
        bool parses;
        bool wakes;
    } rows[] = {
        {"its job", WakeUp::encode("LMData2.ini"), true, true},
        {"wrong magic", "LMWX\1LMData2.ini", false, false},
        {"wrong version", "LMWK\2LMData2.ini", false, false},
        {"another display's job", WakeUp::encode("LMData3.ini"), true, false},
        {"its own answer", WakeUp::encode("LMPNext2.ans"), true, false},
        {"empty", "", false, false},
        {"no name", "LMWK\1", false, false},
        {"longest name", "LMWK\1" + name64, true, false},
        {"name too long", "LMWK\1" + name64 + "x", false, false},
        {"oversized", "LMWK\1LMData2.ini" + std::string(200, ' '), false, false},
        {"NUL and garbage", "LMWK\1LMData2.ini\0junk"s, false, false},
        {"line end", "LMWK\1LMData2.ini\r\n", false, false},
        {"a path", "LMWK\1data/LMData2.ini", false, false},
        {"not ASCII", "LMWK\1LMData2.ini\xe3\x80\x80", false, false},
    };
    for (const auto& row : rows) {
        const std::optional<std::string> name = WakeUp::parse(row.bytes);
        EXPECT_EQ(name.has_value(), row.parses) << row.what;
        WakeUpGate gate(WakeUpGate::displayJob(2));
        EXPECT_EQ(name && gate.take(*name, "192.0.2.1") && !gate.poll(0).empty(), row.wakes)
            << row.what;
        EXPECT_EQ(gate.heardFrom(0), row.wakes) << row.what;
    }
    // A name that cannot travel is not sent at all.
    EXPECT_EQ(WakeUp::encode("data/LMData2.ini"), "");
    EXPECT_EQ(WakeUp::encode(name64 + "x"), "");
}

TEST(WakeUpGate, AFloodPollsOncePer20MsAndTheLastWakeUpStillPolls) {
    WakeUpGate gate(WakeUpGate::displayJob(1));
    std::vector<std::int64_t> polls;
    // One wake-up every 5 ms for 100 ms; the owed poll runs as soon as it is due (a timer).
    for (std::int64_t now = 0; now <= 200 * ms; now += ms) {
        if (now % (5 * ms) == 0 && now < 100 * ms) {
            EXPECT_TRUE(gate.take("LMData1.ini", "192.0.2.1"));
        }
        if (now == 5 * ms) {
            EXPECT_EQ(gate.waitUs(now), 15 * ms);
        }
        if (const std::vector<std::string> names = gate.poll(now); !names.empty()) {
            EXPECT_EQ(names, std::vector<std::string>{"LMData1.ini"});
            polls.push_back(now / ms);
        }
    }
    EXPECT_EQ(polls, (std::vector<std::int64_t>{0, 20, 40, 60, 80, 100}));
    EXPECT_FALSE(gate.waitUs(200 * ms));
}

TEST(WakeUpGate, DisplaysThatAnswerAtOneInstantAreEachReadAtOnce) {
    WakeUpGate gate(WakeUpGate::controlAnswers());
    for (const char* name : {"LMPNext1.ans", "LMPNext2.ans", "LMPNext3.ans"}) {
        EXPECT_TRUE(gate.take(name, "192.0.2.9"));
        EXPECT_EQ(gate.poll(0), std::vector<std::string>{name});
    }
    // The same name again within 20 ms waits for its own gap only.
    EXPECT_TRUE(gate.take("LMPNext2.ans", "192.0.2.9"));
    EXPECT_TRUE(gate.take("LMPEnd1.ans", "192.0.2.9"));
    EXPECT_EQ(gate.poll(5 * ms), std::vector<std::string>{"LMPEnd1.ans"});
    EXPECT_EQ(gate.waitUs(5 * ms), 15 * ms);
    EXPECT_EQ(gate.poll(20 * ms), std::vector<std::string>{"LMPNext2.ans"});
}

TEST(WakeUpGate, RemembersWhereEachDisplaysWakeUpsCameFrom) {
    WakeUpGate gate(WakeUpGate::controlAnswers());
    EXPECT_TRUE(gate.take("LMPNext3.ans", "192.0.2.3"));
    EXPECT_TRUE(gate.take("LMPEnd1.ans", "fd00::1"));
    EXPECT_FALSE(gate.take("LMPEnd2.ans", "192.0.2.2"));
    EXPECT_FALSE(gate.take("LMData2.ini", "192.0.2.2"));
    EXPECT_TRUE(gate.take("LMPNext3.ans", "192.0.2.33"));
    EXPECT_EQ(gate.poll(0), (std::vector<std::string>{"LMPNext3.ans", "LMPEnd1.ans"}));
    EXPECT_EQ(gate.sourceOf(3), "192.0.2.33");
    EXPECT_EQ(gate.sourceOf(1), "fd00::1");
    EXPECT_FALSE(gate.sourceOf(2));
    EXPECT_TRUE(gate.heardFrom(1));
    EXPECT_FALSE(gate.heardFrom(2));
}

TEST(WakeUpPorts, TheOptionWinsOverTheEnvironmentAndABadBaseCountsAsUnset) {
    for (const char* bad : {"", "1023", "65520", "47600x", " 47600", "-47600", "0x1000"}) {
        EXPECT_FALSE(WakeUpPorts::fromText(bad)) << bad;
    }
    EXPECT_EQ(WakeUpPorts::choose("1024", "50000").base, 1024);
    EXPECT_EQ(WakeUpPorts::choose("65520", "65519").display(16), 65535);
    EXPECT_EQ(WakeUpPorts::choose(std::nullopt, "bad").control(), WakeUpPorts::defaultBase);
}

} // namespace
} // namespace lm
