// The operator's desk without any window: each command of the control window, a hand-over from
// a second start, the copy for --resume, the observers, and a modal step held by a front end.

#include "OperatorDesk.h"

#include "DeskObserver.h"
#include "LocalRequests.h"
#include "ShowFile.h"
#include "TempDir.h"
#include "TestRows.h"
#include "VirtualClock.h"
#include "VirtualWallClock.h"

#include <fstream>
#include <functional>
#include <gtest/gtest.h>

namespace lm {
namespace {

namespace fs = std::filesystem;
using Code = DeskOutcome::Code;

UrgentMessage saying(const char* text) {
    UrgentMessage message;
    message.text = text;
    return message;
}

class Recorder : public DeskObserver {
public:
    void deskChanged(DeskChanges changes) override { told |= changes; }
    DeskChanges told = 0;
};

class OperatorDeskTest : public ::testing::Test {
protected:
    void SetUp() override {
        desk.open();
        for (Timer* timer : desk.timers()) {
            clock.attach(*timer);
        }
        desk.addObserver(recorder);
    }

    ItemEntry text(const std::string& words) const {
        return {words, desk.settings().movement, "白", "黒", desk.settings().speed, ""};
    }
    void addTexts(int count) {
        for (int i = 0; i < count; ++i) {
            ASSERT_TRUE(desk.add(text("item" + std::to_string(i))).done());
        }
    }
    std::string head(int n) const { return desk.exchange().readJobHead(n).line; }
    void writeShow(const fs::path& file, int items) const {
        ItemTable table;
        for (int i = 0; i < items; ++i) {
            table.append(test::textRow("file" + std::to_string(i)));
        }
        ASSERT_EQ(showFile::write(file, table), WriteStatus::Ok);
    }
    // Starts a show of `items` texts at "速く" and runs it until display 1 shows row 0.
    void runShow(int items) {
        ShowSettings fast = desk.settings();
        fast.speed = "速く";
        desk.setSettings(fast);
        addTexts(items);
        ASSERT_TRUE(desk.start().done());
        ASSERT_TRUE(clock.advanceUntil([&] { return head(1) == " 0 "; }, 3000));
    }

    test::TempDir dir;
    test::TempDir state;
    test::VirtualClock clock;
    test::VirtualWallClock wallClock{clock};
    OperatorDesk desk{{dir.path(), state.path(), &wallClock}};
    Recorder recorder;
};

// Every change of the list stops the show first, as "表示を止める" does, and each one tells the
// front ends what changed.
TEST_F(OperatorDeskTest, EveryListCommandStopsTheShowAndTellsTheFrontEnds) {
    struct Command {
        const char* name;
        std::function<DeskOutcome(OperatorDesk&)> run;
        int countAfter;    // of a list of three
        const char* line0; // its first line afterwards
    };
    const Command commands[] = {
        {"add", [&](OperatorDesk& d) { return d.add(text("new")); }, 4,
         "文字を左へ白色で黒色の上に「item0」"},
        {"change", [&](OperatorDesk& d) { return d.change(0, text("changed")); }, 3,
         "文字を左へ白色で黒色の上に「changed」"},
        {"delete", [](OperatorDesk& d) { return d.remove(0); }, 2,
         "文字を左へ白色で黒色の上に「item1」"},
        {"delete all", [](OperatorDesk& d) { return d.clear(); }, 0, ""},
    };
    for (const Command& command : commands) {
        SCOPED_TRACE(command.name);
        ASSERT_TRUE(desk.clear().done());
        runShow(3);
        recorder.told = 0;
        EXPECT_TRUE(command.run(desk).done());
        EXPECT_FALSE(desk.chain().isShowRunning());
        EXPECT_FALSE(desk.state().showRunning);
        EXPECT_EQ(head(1), "-1");
        EXPECT_EQ(desk.list().count(), command.countAfter);
        EXPECT_EQ(desk.list().lines().empty() ? "" : desk.list().lines()[0], command.line0);
        EXPECT_TRUE(has(recorder.told, DeskChange::List));
        EXPECT_TRUE(has(recorder.told, DeskChange::Run));
    }
}

TEST_F(OperatorDeskTest, CommandsThatCannotBeDoneSayWhy) {
    addTexts(1);
    const std::pair<DeskOutcome, Code> refused[] = {
        {desk.change(5, text("x")), Code::NoSuchLine},  {desk.remove(-1), Code::NoSuchLine},
        {desk.add(text("二行\nです")), Code::BadValue}, {desk.start(), Code::CannotStart},
        {desk.say(UrgentMessage{}, 0), Code::BadValue},
    };
    for (const auto& [outcome, code] : refused) {
        EXPECT_EQ(outcome.code, code) << outcome.words();
        EXPECT_FALSE(outcome.words().empty());
    }
    EXPECT_EQ(desk.list().count(), 1);
    writeShow(dir.path() / "full.txt", ItemTable::rowCount);
    ASSERT_TRUE(desk.load(dir.path() / "full.txt").done());
    const DeskOutcome full = desk.add(text("one too many"));
    EXPECT_EQ(full.code, Code::Full);
    EXPECT_TRUE(full.messages.empty()) << "the window says nothing of a full list";
    EXPECT_FALSE(full.quietReason.empty()) << "the other front ends say why";
}

// Selecting an item shows its fields; its speed, and a text's movement, become the show's.
TEST_F(OperatorDeskTest, ChoosingAnItemMakesItsSpeedTheShows) {
    ASSERT_TRUE(desk.add({"a", "左へ", "白", "黒", "遅く", ""}).done());
    ShowSettings settings = desk.settings();
    settings.movement = "移動しない";
    settings.speed = "速く";
    desk.setSettings(settings);
    recorder.told = 0;
    const std::optional<ItemTable::Row> row = desk.choose(0);
    ASSERT_TRUE(row);
    EXPECT_EQ((*row)[ItemTable::textField], "a");
    EXPECT_EQ(desk.settings().speed, "遅く");
    EXPECT_EQ(desk.settings().movement, "左へ");
    EXPECT_TRUE(has(recorder.told, DeskChange::Settings));
    EXPECT_FALSE(desk.choose(1));
}

TEST_F(OperatorDeskTest, EndingTheDisplaysWritesTheEndJobAndEndsTheUrgentMessage) {
    runShow(2);
    ASSERT_TRUE(desk.say(saying("地震です"), 0).done());
    EXPECT_TRUE(desk.endDisplays().done());
    EXPECT_FALSE(desk.state().urgent);
    EXPECT_FALSE(desk.chain().isShowRunning());
    for (int n = 1; n <= vocabulary::maxDisplays; ++n) {
        EXPECT_EQ(desk.exchange().readJob(n).value_or(std::vector<std::string>(2)).at(1), "終了")
            << n;
    }
}

// A show file handed over by a second start is read before anything stops.
TEST_F(OperatorDeskTest, AHandOverReadsTheFileBeforeItStopsAnything) {
    runShow(2);
    writeShow(dir.path() / "one.txt", 1);
    writeShow(dir.path() / "three.txt", 3);
    struct Case {
        const char* file;
        bool start;
        Code code;
        bool stopped;
        int count;
    };
    for (const Case& hand : {Case{"missing.txt", false, Code::Unreadable, false, 2},
                             Case{"one.txt", true, Code::CannotStart, true, 1},
                             Case{"three.txt", true, Code::Done, false, 3}}) {
        SCOPED_TRACE(hand.file);
        const DeskOutcome outcome = desk.handOver(dir.path() / hand.file, hand.start);
        EXPECT_EQ(outcome.code, hand.code);
        EXPECT_EQ(desk.list().count(), hand.count);
        EXPECT_EQ(desk.chain().isShowRunning(), !hand.stopped);
    }
}

// What a show runs with and whether it runs outlive the program: --resume takes them up.
TEST_F(OperatorDeskTest, TheCopyTakesTheListTheSettingsAndTheShowAcrossARestart) {
    runShow(3);
    ShowSettings settings = desk.settings();
    settings.movement = "左へ";
    settings.repeat = false;
    desk.setSettings(settings);
    ASSERT_TRUE(desk.say(saying("非常口は右側です"), 5).done());
    const std::optional<UrgentMessage> urgent = desk.state().urgent;

    for (const Ending ending : {Ending::System, Ending::Operator}) {
        OperatorDesk again{{dir.path(), state.path(), &wallClock}};
        again.open();
        for (Timer* timer : again.timers()) {
            clock.attach(*timer);
        }
        ASSERT_TRUE(again.resume().done());
        EXPECT_EQ(again.list().count(), 3);
        EXPECT_EQ(again.settings(), settings);
        // The urgent message comes back over the show, which waits for it.
        EXPECT_EQ(again.state().urgent, ending == Ending::System ? urgent : std::nullopt);
        EXPECT_EQ(again.state().showRunning, ending == Ending::System);
        if (ending == Ending::System) {
            // The operator ends this one: the next start resumes no show.
            again.endUrgent();
            again.close(Ending::Operator);
        }
    }
    OperatorDesk none{{dir.path(), state.path() / "elsewhere", &wallClock}};
    EXPECT_EQ(none.resume().code, Code::Unreadable);
}

// While a front end holds its chooser open, no other may change the list or the show under it;
// a stop or an urgent message is safe.
TEST_F(OperatorDeskTest, AModalStepHoldsOffWhatWouldChangeTheListUnderIt) {
    addTexts(2);
    writeShow(dir.path() / "show.txt", 2);
    {
        const OperatorDesk::Step step = desk.holdStep("データファイルの読み込み");
        EXPECT_EQ(desk.state().step, "データファイルの読み込み");
        for (const DeskOutcome& outcome :
             {desk.add(text("x")), desk.change(0, text("x")), desk.remove(0), desk.clear(),
              desk.load(dir.path() / "show.txt"), desk.save(dir.path() / "x.txt"), desk.start(),
              desk.handOver(dir.path() / "show.txt", true)}) {
            EXPECT_EQ(outcome.code, Code::Busy);
            EXPECT_NE(outcome.words().find("データファイルの読み込み"), std::string::npos);
        }
        EXPECT_EQ(desk.list().count(), 2);
        EXPECT_FALSE(fs::exists(dir.path() / "x.txt"));
        EXPECT_TRUE(desk.stop().done());
        EXPECT_TRUE(desk.say(saying("地震です"), 0).done());
        EXPECT_TRUE(desk.endUrgent().done());
    }
    EXPECT_EQ(desk.state().step, "");
    EXPECT_TRUE(desk.start().done());
}

// A second start and `--say` through the desk: each gets the reply of what came of it.
TEST_F(OperatorDeskTest, LocalRequestsAreAnsweredWithWhatCameOfThem) {
    int raised = 0;
    LocalRequests requests(desk, [&] { ++raised; });
    clock.attach(requests.timer());
    std::vector<ControlReply> replies;
    const auto ask = [&](ControlRequest request) {
        requests.handle(request, [&](const ControlReply& reply) { replies.push_back(reply); });
    };
    writeShow(dir.path() / "two.txt", 2);
    ask({ControlRequest::Kind::Start, (dir.path() / "missing.txt").string(), "", 0});
    ask({ControlRequest::Kind::Start, (dir.path() / "two.txt").string(), "", 0});
    ask({ControlRequest::Kind::Say, "", "", 0});
    ask({ControlRequest::Kind::Say, "", "テスト", 0});
    EXPECT_EQ(replies.size(), 3U) << "the message is answered once it is known";
    clock.advance(LocalRequests::waitMs);
    ASSERT_EQ(replies.size(), 4U);
    EXPECT_EQ(replies[0].status, ControlReply::Status::Refused);
    EXPECT_NE(replies[0].line.find("を読み込めませんでした"), std::string::npos);
    EXPECT_EQ(replies[1].status, ControlReply::Status::Done);
    EXPECT_TRUE(desk.state().showRunning);
    EXPECT_EQ(replies[2].line, UrgentMessage::emptyTextWarning);
    // No display is there: the message stands, and the reply says no screen shows it.
    EXPECT_EQ(replies[3].status, ControlReply::Status::Refused);
    EXPECT_TRUE(desk.state().urgent);
    EXPECT_EQ(raised, 2);
    // A hand-over's boxes are for the window, after the reply.
    EXPECT_EQ(desk.takeAnnouncements().size(), 1U);
}

// The plan tells a front end's command from everything else by the ByHand bit, and the desk
// knows whether the list was changed since its file was loaded or saved.
TEST_F(OperatorDeskTest, OnlyAFrontEndsCommandsAreByHandAndOnlyEditsLeaveTheListUnsaved) {
    writeShow(dir.path() / "two.txt", 2);
    struct Command {
        const char* name;
        std::function<void()> run;
        bool byHand;
        bool unsaved;     // afterwards
        const char* file; // the list's file afterwards
    };
    const Command commands[] = {
        {"load", [&] { desk.load(dir.path() / "two.txt"); }, true, false, "two.txt"},
        {"add", [&] { desk.add(text("x")); }, true, true, "two.txt"},
        {"start", [&] { desk.start(); }, true, true, "two.txt"},
        {"the chain's ticks", [&] { clock.advance(10'000); }, false, true, "two.txt"},
        {"say", [&] { desk.say(saying("地震です"), 0); }, false, true, "two.txt"},
        {"end the urgent message", [&] { desk.endUrgent(); }, false, true, "two.txt"},
        {"settings",
         [&] {
             desk.setSettings({"左へ", "遅く", "16", false});
         },
         false, true, "two.txt"},
        {"save", [&] { desk.save(dir.path() / "three.txt"); }, true, false, "three.txt"},
        {"delete", [&] { desk.remove(0); }, true, true, "three.txt"},
        {"stop", [&] { desk.stop(); }, true, true, "three.txt"},
        {"end the displays", [&] { desk.endDisplays(); }, true, true, "three.txt"},
        {"the plan's words", [&] { desk.tell("予定：表示なし"); }, false, true, "three.txt"},
    };
    for (const Command& command : commands) {
        SCOPED_TRACE(command.name);
        recorder.told = 0;
        command.run();
        EXPECT_EQ(has(recorder.told, DeskChange::ByHand), command.byHand);
        EXPECT_EQ(desk.state().listUnsaved, command.unsaved);
        EXPECT_EQ(fs::path(desk.state().listFile).filename(), command.file);
    }
    // What was unsaved stays so across a restart; a resume is no command of the operator's.
    desk.close(Ending::System);
    OperatorDesk again{{dir.path(), state.path(), &wallClock}};
    Recorder told;
    again.addObserver(told);
    ASSERT_TRUE(again.resume().done());
    EXPECT_FALSE(has(told.told, DeskChange::ByHand));
    EXPECT_TRUE(again.state().listUnsaved);
    EXPECT_EQ(fs::path(again.state().listFile).filename(), "three.txt");
}

// A plan file that cannot be read leaves the plan before it; it and "予定に従う" outlive a
// restart, and while it is followed the show of the last run does not start again.
TEST_F(OperatorDeskTest, ThePlanIsKeptForTheResumeAndGoesBeforeTheShowOfTheLastRun) {
    const fs::path good = dir.path() / "plan.txt";
    const fs::path bad = dir.path() / "bad.txt";
    {
        std::ofstream(good) << "lmsign-plan 1\n[otherwise]\nblank\n";
        std::ofstream(bad) << "lmsign-plan 1\n[weekly]\ndays = mon xyz\nblank\n";
    }
    EXPECT_EQ(desk.followPlan(true).code, Code::Unreadable);
    ASSERT_TRUE(desk.usePlan(good).done());
    const DeskOutcome refused = desk.usePlan(bad);
    EXPECT_EQ(refused.code, Code::Unreadable);
    EXPECT_NE(refused.words().find("の 3 行目："), std::string::npos) << refused.words();
    EXPECT_EQ(desk.state().planFile, good.string());
    recorder.told = 0;
    ASSERT_TRUE(desk.followPlan(true).done());
    EXPECT_TRUE(has(recorder.told, DeskChange::Plan));
    runShow(2);
    desk.close(Ending::System);

    for (const bool followed : {true, false}) {
        SCOPED_TRACE(followed);
        OperatorDesk again{{dir.path(), state.path(), &wallClock}};
        ASSERT_TRUE(again.resume().done());
        EXPECT_EQ(again.state().planFile, good.string());
        EXPECT_EQ(again.followsPlan(), followed);
        if (followed) {
            // The plan decides what runs now; the show of the last run waits for it.
            EXPECT_FALSE(again.state().showRunning);
            ASSERT_TRUE(again.followPlan(false).done());
        }
        again.close(Ending::System);
    }
}

} // namespace
} // namespace lm
