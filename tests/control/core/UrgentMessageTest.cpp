// The urgent message on the run controller: sent to every display that is there, repeated on
// each display after its end answer, and ended by time, by the operator or by "表示を止める".

#include "FakeMessageBoxes.h"
#include "FakeRunView.h"
#include "RunController.h"
#include "TempDir.h"
#include "TestRows.h"
#include "VirtualClock.h"
#include "VirtualWallClock.h"

#include <fstream>
#include <gtest/gtest.h>
#include <set>

namespace lm {
namespace {

using test::pictureRow;
using test::textRow;

enum class Show { None, Text, Still };
enum class Ending { Time, Operator, Stop };

struct UrgentCase {
    const char* name;
    Show show;
    Ending ending;
    bool goesOn; // the show before it goes on afterwards
};

const std::string firstHead = " 9000 ";
const std::string secondHead = " 9001 ";

class UrgentRun : public ::testing::TestWithParam<UrgentCase> {
protected:
    void SetUp() override {
        exchange.make();
        for (int n = 0; n < RunController::timerCount; ++n) {
            clock.attach(controller.timer(n));
        }
        clock.attach(controller.wallTimer());
        // Present displays touch their presence files every 500 ms, with the virtual time.
        presence.setHandler([this] {
            for (const int n : alive) {
                exchange.touchPresence(n);
                std::filesystem::last_write_time(
                    exchange.presencePath(n),
                    std::filesystem::file_time_type(std::chrono::milliseconds(clock.now())));
            }
        });
        clock.attach(presence);
        presence.setInterval(500);
        presence.setEnabled(true);
        view.speed = "速く";
        view.repeat = true;
    }

    std::string head(int n) const { return exchange.readJobHead(n).line; }
    std::string kind(int n) const {
        return exchange.readJob(n).value_or(std::vector<std::string>(2)).at(1);
    }

    test::TempDir dir;
    ExchangeFolder exchange{dir.path()};
    ItemTable table;
    test::FakeRunView view;
    test::FakeMessageBoxes boxes;
    test::VirtualClock clock;
    test::VirtualWallClock wallClock{clock};
    RunController controller{table, dir.path(), view, boxes, wallClock};
    Timer presence;
    std::set<int> alive{1, 2, 3};
};

TEST_P(UrgentRun, ReachesEveryDisplayThereRepeatsAndHandsBackToTheShow) {
    const UrgentCase& row = GetParam();
    for (int r = 0; r < 3; ++r) {
        table.append(row.show == Show::Still ? pictureRow("p.jpg", "移動しない")
                                             : textRow("item" + std::to_string(r)));
    }
    std::ofstream(exchange.folder() / "p.jpg") << "GIF89a";
    clock.advance(1000); // the displays' presence is known
    if (row.show != Show::None) {
        view.movement = row.show == Show::Still ? "移動しない" : "左へ";
        controller.cmdDisplay_Click();
        // Display 1 shows row 0, then row 1 after its end answer.
        ASSERT_TRUE(clock.advanceUntil([&] { return head(1) == " 0 "; }, 5000));
        exchange.writeAnswer(1, AnswerKind::End, " 0 ");
        ASSERT_TRUE(clock.advanceUntil([&] { return head(1) == " 1 "; }, 500));
    }

    UrgentMessage message{"地震です", "白", "明るい赤", wallClock.realUs() + 60'000'000};
    ASSERT_EQ(controller.sayUrgent(message), "");
    EXPECT_EQ(view.urgent, message);
    for (int n = 1; n <= RunController::displayCount; ++n) {
        EXPECT_EQ(head(n), n <= 3 ? firstHead : (row.show == Show::None ? "" : head(n))) << n;
    }
    EXPECT_EQ(kind(1), "文字");
    EXPECT_EQ(exchange.readJob(1)->at(8), "地震です");
    EXPECT_EQ(view.cells[1].state, WallCell::State::Urgent);
    EXPECT_FALSE(controller.isShowRunning());
    // Another text replaces it at once, under the other line 1 so that every display starts it.
    message.text = "地震です。落ち着いて下さい";
    ASSERT_EQ(controller.sayUrgent(message), "");
    EXPECT_EQ(head(1), secondHead);
    EXPECT_EQ(exchange.readJob(1)->at(8), message.text);

    // Each display gets it again after its own end answer, its line 1 changed so it starts.
    exchange.writeAnswer(2, AnswerKind::End, secondHead);
    controller.answerChanged(AnswerKind::End, 2);
    EXPECT_EQ(head(2), firstHead);
    exchange.writeAnswer(2, AnswerKind::End, firstHead);
    clock.advance(100);
    EXPECT_EQ(head(2), secondHead);
    // A next answer moves nothing on meanwhile.
    exchange.writeAnswer(1, AnswerKind::Next, secondHead);
    clock.advance(300);
    EXPECT_EQ(head(2), secondHead);
    // Display 4 comes; display 3 goes silent and gets no repeat.
    alive = {1, 2, 4};
    clock.advance(600);
    EXPECT_EQ(head(4), firstHead);
    clock.advance(3500);
    exchange.writeAnswer(3, AnswerKind::End, secondHead);
    clock.advance(200);
    EXPECT_EQ(head(3), secondHead);
    EXPECT_EQ(view.cells[3].state, WallCell::State::Silent);
    EXPECT_EQ(head(5), row.show == Show::None ? "" : head(5)) << "never there";

    switch (row.ending) {
    case Ending::Time:
        clock.advance(60'000);
        break;
    case Ending::Operator:
        controller.endUrgent();
        break;
    case Ending::Stop:
        controller.cmdStop_Click();
        break;
    }
    EXPECT_FALSE(view.urgent);
    EXPECT_EQ(controller.isShowRunning(), row.goesOn);
    if (row.goesOn) {
        // From the row display 1 had, two start paces later, through the chain.
        ASSERT_TRUE(clock.advanceUntil([&] { return head(1) == " 1 "; }, 2200));
        if (row.show == Show::Still) {
            EXPECT_EQ(head(2), " 0 ") << "a still show moves every display on with display 1";
        } else {
            exchange.writeAnswer(1, AnswerKind::Next, " 1 ");
            ASSERT_TRUE(clock.advanceUntil([&] { return head(2) == " 1 "; }, 2000));
        }
        EXPECT_EQ(view.cells[1].state, WallCell::State::Showing);
    } else {
        clock.advance(5000);
        for (int n = 1; n <= RunController::displayCount; ++n) {
            EXPECT_EQ(head(n), "-1") << n;
        }
    }
    // Display 4 may not have polled since: the next message comes under the other line 1.
    ASSERT_EQ(controller.sayUrgent(message), "");
    EXPECT_EQ(head(4), secondHead);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UrgentRun,
    ::testing::Values(UrgentCase{"show_ends_by_time", Show::Text, Ending::Time, true},
                      UrgentCase{"show_ended_by_the_operator", Show::Text, Ending::Operator, true},
                      UrgentCase{"show_stopped", Show::Text, Ending::Stop, false},
                      UrgentCase{"still_show", Show::Still, Ending::Operator, true},
                      UrgentCase{"no_show_ends_by_time", Show::None, Ending::Time, false},
                      UrgentCase{"no_show_ended_by_the_operator", Show::None, Ending::Operator,
                                 false}),
    [](const ::testing::TestParamInfo<UrgentCase>& param) { return param.param.name; });

UrgentMessage saying(const char* text) {
    UrgentMessage message;
    message.text = text;
    return message;
}

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
