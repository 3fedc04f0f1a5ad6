// The urgent message on the operator's desk: sent to every display that is there, repeated on
// each display after its end answer, ended by time, by the operator, by "表示を止める", by
// "表示させる" or by another message, and told as far as the displays confirm it.

#include "OperatorDesk.h"
#include "TempDir.h"
#include "VirtualClock.h"
#include "VirtualWallClock.h"

#include <fstream>
#include <gtest/gtest.h>
#include <map>

namespace lm {
namespace {

const std::string firstHead = " 9000 ";
const std::string secondHead = " 9001 ";

bool isUrgentHead(const std::string& head) {
    return head == firstHead || head == secondHead;
}

UrgentMessage saying(const char* text) {
    UrgentMessage message;
    message.text = text;
    return message;
}

// How a display program shows that it runs.
enum class Life {
    Telling,    // its presence file names the job it shows
    Touching,   // an older one: it only touches its presence file
    AnswerOnly, // older still: no presence file, only its answers
};

// The desk with displays around it, on one virtual clock.
class UrgentFixture {
protected:
    UrgentFixture() {
        desk.open();
        for (Timer* timer : desk.timers()) {
            clock.attach(*timer);
        }
        presence.setHandler([this] { refreshPresence(); });
        clock.attach(presence);
        presence.setInterval(500);
        presence.setEnabled(true);
        settings.speed = "速く";
        desk.setSettings(settings);
    }

    // Each display that is there says so twice a second, with its file's time on the virtual
    // clock: the real one may not move between two of its refreshes.
    void refreshPresence() {
        for (const auto& [n, life] : wall) {
            if (life == Life::Telling) {
                SignOfLife said;
                said.host = "wall-pc";
                said.beat = ++beats[n];
                said.job = head(n);
                exchange.writePresence(n, said);
            } else if (life == Life::Touching) {
                exchange.touchPresence(n);
            } else {
                continue;
            }
            stamp(exchange.presencePath(n));
        }
    }

    void stamp(const std::filesystem::path& file) const {
        std::filesystem::last_write_time(
            file, std::filesystem::file_time_type(std::chrono::milliseconds(clock.now())));
    }

    void answer(int n, AnswerKind kind, const std::string& head) {
        exchange.writeAnswer(n, kind, head);
        stamp(exchange.answerPath(kind, n));
    }

    std::string head(int n) const { return exchange.readJobHead(n).line; }
    std::string kind(int n) const {
        return exchange.readJob(n).value_or(std::vector<std::string>(2)).at(1);
    }

    // Adds an item as the entry controls would make it.
    void addText(const std::string& text) {
        ItemEntry entry{text, settings.movement, "白", "黒", settings.speed, ""};
        ASSERT_TRUE(desk.add(entry).done());
    }
    void addStillPicture() {
        ItemEntry entry{"",   "移動しない",   "白",
                        "黒", settings.speed, (exchange.folder() / "p.jpg").string()};
        ASSERT_TRUE(desk.add(entry).done());
    }
    const DeskState& state() const { return desk.state(); }

    test::TempDir dir;
    ExchangeFolder exchange{dir.path()};
    test::VirtualClock clock;
    test::VirtualWallClock wallClock{clock};
    OperatorDesk desk{{dir.path(), {}, &wallClock}};
    ShowSettings settings;
    Timer presence;
    std::map<int, Life> wall;
    std::map<int, std::uint64_t> beats;
};

enum class Show { None, Text, Still };
enum class Ending { Time, Operator, Stop, Start, NewMessage };

struct UrgentCase {
    const char* name;
    Show show;
    Ending ending;
    bool goesOn;    // a show runs afterwards
    int resumedRow; // the row display 1 then gets
};

class UrgentRun : public UrgentFixture, public ::testing::TestWithParam<UrgentCase> {};

TEST_P(UrgentRun, ReachesEveryDisplayThereAndLeavesEveryScreenWhenItEnds) {
    const UrgentCase& row = GetParam();
    wall = {{1, Life::Telling}, {2, Life::Telling}, {3, Life::Telling}};
    std::ofstream(exchange.folder() / "p.jpg") << "GIF89a";
    settings.movement = row.show == Show::Still ? "移動しない" : "左へ";
    desk.setSettings(settings);
    for (int r = 0; r < 3; ++r) {
        if (row.show == Show::Still) {
            addStillPicture();
        } else {
            addText("item" + std::to_string(r));
        }
    }
    clock.advance(1000); // the displays' presence is known
    if (row.show != Show::None) {
        ASSERT_TRUE(desk.start().done());
        // Display 1 shows row 0, then row 1 after its end answer.
        ASSERT_TRUE(clock.advanceUntil([&] { return head(1) == " 0 "; }, 5000));
        answer(1, AnswerKind::End, " 0 ");
        ASSERT_TRUE(clock.advanceUntil([&] { return head(1) == " 1 "; }, 500));
    }
    std::array<std::string, 17> before{};
    for (int n = 1; n <= vocabulary::maxDisplays; ++n) {
        before.at(static_cast<std::size_t>(n)) = head(n);
    }

    UrgentMessage message{"地震です", "白", "明るい赤", wallClock.realUs() + 60'000'000};
    ASSERT_TRUE(desk.say(saying("地震です"), 1).done());
    EXPECT_EQ(state().urgent, message);
    for (int n = 1; n <= vocabulary::maxDisplays; ++n) {
        EXPECT_EQ(head(n), n <= 3 ? firstHead : before.at(static_cast<std::size_t>(n))) << n;
    }
    EXPECT_EQ(kind(1), "文字");
    EXPECT_EQ(exchange.readJob(1)->at(8), "地震です");
    EXPECT_EQ(state().cells[1].state, WallCell::State::Urgent);
    EXPECT_FALSE(desk.chain().isShowRunning());
    // Each display names the copy in its next refresh.
    clock.advance(600);
    EXPECT_EQ(state().reach.showing, (std::vector<int>{1, 2, 3}));
    // Another text replaces it at once, under the other line 1 so that every display starts it.
    message.text = "地震です。落ち着いて下さい";
    ASSERT_TRUE(desk.say(message, 1).done());
    EXPECT_EQ(head(1), secondHead);
    EXPECT_EQ(exchange.readJob(1)->at(8), message.text);

    // Each display gets it again after its own end answer, its line 1 changed so it starts.
    answer(2, AnswerKind::End, secondHead);
    desk.answerChanged(AnswerKind::End, 2);
    EXPECT_EQ(head(2), firstHead);
    answer(2, AnswerKind::End, firstHead);
    clock.advance(100);
    EXPECT_EQ(head(2), secondHead);
    // A next answer moves nothing on meanwhile.
    answer(1, AnswerKind::Next, secondHead);
    clock.advance(300);
    EXPECT_EQ(head(2), secondHead);
    // Display 4 comes; display 3 goes silent and gets no repeat.
    wall = {{1, Life::Telling}, {2, Life::Telling}, {4, Life::Telling}};
    clock.advance(600);
    EXPECT_EQ(head(4), firstHead);
    clock.advance(3500);
    answer(3, AnswerKind::End, secondHead);
    clock.advance(200);
    EXPECT_EQ(head(3), secondHead);
    EXPECT_EQ(state().cells[3].state, WallCell::State::Silent);
    EXPECT_EQ(head(5), before[5]) << "never there";

    std::map<int, std::string> copies; // what each display that got the message shows now
    for (int n = 1; n <= 4; ++n) {
        copies[n] = head(n);
    }
    switch (row.ending) {
    case Ending::Time:
        ASSERT_TRUE(clock.advanceUntil([&] { return !state().urgent; }, 60'000));
        break;
    case Ending::Operator:
        desk.endUrgent();
        break;
    case Ending::Stop:
        desk.stop();
        break;
    case Ending::Start:
        ASSERT_TRUE(desk.start().done());
        break;
    case Ending::NewMessage:
        ASSERT_TRUE(desk.say(saying("火災です"), 0).done());
        // The copies of the text before answer late: nothing comes of it.
        for (const auto& [n, copy] : copies) {
            answer(n, AnswerKind::End, copy);
            answer(n, AnswerKind::Next, copy);
        }
        clock.advance(1000);
        for (const int n : {1, 2, 4}) {
            EXPECT_EQ(exchange.readJob(n)->at(8), "火災です") << n;
        }
        for (int n = 1; n <= 4; ++n) {
            copies[n] = head(n);
        }
        desk.endUrgent();
        break;
    }
    EXPECT_FALSE(state().urgent);
    EXPECT_EQ(desk.chain().isShowRunning(), row.goesOn);
    // Every screen that showed it is blanked at once, whatever comes next.
    for (const auto& [n, copy] : copies) {
        EXPECT_EQ(head(n), "-1") << n;
    }
    // The copies answer late, as they reach their hand-over point and their end.
    for (const auto& [n, copy] : copies) {
        answer(n, AnswerKind::Next, copy);
        answer(n, AnswerKind::End, copy);
    }
    const std::string resumed = itemNumberLine(row.resumedRow);
    if (row.goesOn && row.show == Show::Still) {
        ASSERT_TRUE(clock.advanceUntil([&] { return head(1) == resumed; }, 2200));
        EXPECT_EQ(head(2), " 0 ") << "a still show moves every display on with display 1";
    } else if (row.goesOn) {
        // From the row display 1 had (row 0 for a new start), two start paces later; display
        // n + 1 gets it only once display n has reported it, late answers of the copies
        // notwithstanding.
        ASSERT_TRUE(clock.advanceUntil([&] { return head(1) == resumed; }, 2200));
        clock.advance(3000); // watchers 2 and 3 are on and have read the late answers
        EXPECT_EQ(head(2), "-1");
        EXPECT_EQ(head(3), "-1");
        EXPECT_FALSE(std::filesystem::exists(exchange.answerPath(AnswerKind::Next, 1)));
        answer(1, AnswerKind::Next, resumed);
        ASSERT_TRUE(clock.advanceUntil([&] { return head(2) == resumed; }, 200));
        EXPECT_EQ(head(3), "-1");
        answer(2, AnswerKind::Next, resumed);
        ASSERT_TRUE(clock.advanceUntil([&] { return head(3) == resumed; }, 200));
        EXPECT_EQ(state().cells[1].state, WallCell::State::Showing);
    } else {
        clock.advance(5000);
        for (int n = 1; n <= vocabulary::maxDisplays; ++n) {
            EXPECT_EQ(head(n), "-1") << n;
        }
    }
    clock.advance(2000);
    for (int n = 1; n <= vocabulary::maxDisplays; ++n) {
        EXPECT_FALSE(isUrgentHead(head(n))) << n;
    }
    // Display 4 may not have polled since: the next message comes under the other line 1.
    const std::string lastOnFour = copies[4];
    ASSERT_TRUE(desk.say(message, 0).done());
    EXPECT_TRUE(isUrgentHead(head(4)) && head(4) != lastOnFour) << head(4);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UrgentRun,
    ::testing::Values(
        UrgentCase{"show_ends_by_time", Show::Text, Ending::Time, true, 1},
        UrgentCase{"show_ended_by_the_operator", Show::Text, Ending::Operator, true, 1},
        UrgentCase{"show_stopped", Show::Text, Ending::Stop, false, 0},
        UrgentCase{"show_started_anew", Show::Text, Ending::Start, true, 0},
        UrgentCase{"another_message_then_the_operator", Show::Text, Ending::NewMessage, true, 1},
        UrgentCase{"still_show", Show::Still, Ending::Operator, true, 1},
        UrgentCase{"no_show_ends_by_time", Show::None, Ending::Time, false, 0},
        UrgentCase{"no_show_ended_by_the_operator", Show::None, Ending::Operator, false, 0},
        UrgentCase{"no_show_then_a_start", Show::None, Ending::Start, true, 0}),
    [](const ::testing::TestParamInfo<UrgentCase>& param) { return param.param.name; });

class UrgentTest : public UrgentFixture, public ::testing::Test {};

// A start that is refused leaves the message on the screens.
TEST_F(UrgentTest, ARefusedStartLeavesTheMessageOn) {
    wall = {{1, Life::Telling}};
    addText("only one");
    clock.advance(1000);
    ASSERT_TRUE(desk.say(saying("地震です"), 0).done());
    const DeskOutcome refused = desk.start();
    EXPECT_EQ(refused.code, DeskOutcome::Code::CannotStart);
    EXPECT_EQ(refused.messages,
              (std::vector<DeskMessage>{
                  {"２項目以上の動作（文字や画像）を\r\n設定して下さい。", "注意！"}}));
    EXPECT_TRUE(state().urgent);
    clock.advance(5000);
    EXPECT_EQ(head(1), firstHead);
}

struct ReachCase {
    const char* name;
    std::map<int, Life> wall;
    std::vector<int> showing;
    std::vector<int> unconfirmed;
    int status;
    const char* says; // part of the line for the operator
};

class UrgentReachOf : public UrgentFixture, public ::testing::TestWithParam<ReachCase> {};

TEST_P(UrgentReachOf, TellsWhichScreensShowIt) {
    const ReachCase& row = GetParam();
    wall = row.wall;
    for (const auto& [n, life] : wall) {
        if (life == Life::AnswerOnly) {
            // It ran a show's item; its answers are all that tells of it.
            answer(n, AnswerKind::End, " 0 ");
        }
    }
    clock.advance(1000);
    ASSERT_TRUE(desk.say(saying("テスト"), 0).done());
    clock.advance(1000);
    const UrgentReach reach = desk.urgent().reach();
    EXPECT_EQ(reach.showing, row.showing);
    EXPECT_EQ(reach.unconfirmed, row.unconfirmed);
    EXPECT_TRUE(reach.waiting.empty());
    EXPECT_EQ(reach.status(), row.status);
    EXPECT_NE(reach.line().find(row.says), std::string::npos) << reach.line();
    EXPECT_EQ(state().reach, reach);
    // Whoever got it gets it again after its end answer for it.
    for (const auto& [n, life] : wall) {
        const std::string sent = head(n);
        ASSERT_TRUE(isUrgentHead(sent)) << n;
        answer(n, AnswerKind::End, sent);
        clock.advance(600);
        EXPECT_TRUE(isUrgentHead(head(n)) && head(n) != sent) << n;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Walls, UrgentReachOf,
    ::testing::Values(
        ReachCase{"no_display", {}, {}, {}, 1, "表示プログラムが見つからない"},
        ReachCase{"an_older_display_without_a_presence_file",
                  {{1, Life::AnswerOnly}},
                  {},
                  {1},
                  3,
                  "コンピュータ 1 に送りました"},
        ReachCase{"one_that_only_touches_its_presence_file",
                  {{2, Life::Touching}},
                  {},
                  {2},
                  3,
                  "コンピュータ 2 に送りました"},
        ReachCase{"three_displays_one_absent",
                  {{1, Life::Telling}, {3, Life::Telling}},
                  {1, 3},
                  {},
                  0,
                  "コンピュータ 1, 3 が表示しています"},
        ReachCase{
            "display_16", {{16, Life::AnswerOnly}}, {}, {16}, 3, "コンピュータ 16 に送りました"},
        ReachCase{"told_and_unconfirmed",
                  {{1, Life::Telling}, {2, Life::AnswerOnly}},
                  {1},
                  {2},
                  0,
                  "コンピュータ 2 には送りましたが"}),
    [](const ::testing::TestParamInfo<ReachCase>& param) { return param.param.name; });

TEST(UrgentMessage, ATextIsRefusedInTheWordsOfTheList) {
    EXPECT_EQ(saying("火災です").problem(), "");
    EXPECT_EQ(saying("").problem(), UrgentMessage::emptyTextWarning);
    EXPECT_EQ(saying("二行\nです").problem(),
              "「表示させる文字」に改行が含まれています。改行は表示プログラムに送れないため、"
              "使えません。");
    EXPECT_EQ(saying("10€").problem(),
              "「表示させる文字」に、表示プログラムに送れない文字（シフトJISにない文字）が含まれ"
              "ています。");
}

} // namespace
} // namespace lm
