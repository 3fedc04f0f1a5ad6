// The copy of the show list and settings that --resume starts from.

#include "ControlState.h"

#include "LineFile.h"
#include "TempDir.h"
#include "TestRows.h"

#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <sstream>

namespace lm {
namespace {

namespace fs = std::filesystem;

struct StateFixture : ::testing::Test {
    ControlState::Settings settings{
        "速く",
        "左へ",
        false,
        true,
        UrgentMessage{"非常口は右側です", "明るい黄色", "暗い赤", 1'765'000'000'000'000},
        "/home/sign/lmsign/朝の案内.txt",
        true,
        "/home/sign/lmsign/plan.txt",
        true};

    ItemTable table() const {
        ItemTable t;
        t.append(test::textRow("お知らせ"));
        t.append(test::pictureRow("a.jpg", "左へ"));
        return t;
    }
    void overwrite(const std::string& name, const std::string& bytes) const {
        std::ofstream(dir.path() / name, std::ios::binary | std::ios::trunc) << bytes;
    }
    std::string settingsFile() const {
        return lineFile::readBytes(dir.path() / "state.txt").value_or("");
    }

    test::TempDir dir;
};

TEST_F(StateFixture, AWrittenCopyReadsBackAsItWasAndStaysWholeOverManyWrites) {
    ControlState state(dir.path());
    ItemTable t = table();
    for (int round = 0; round < 3; ++round) {
        t.append(test::textRow("行 " + std::to_string(round)));
        ASSERT_TRUE(state.write(t, settings));
    }
    std::string why;
    const std::optional<ControlState::Copy> copy = ControlState(dir.path()).read(why);
    ASSERT_TRUE(copy) << why;
    ASSERT_EQ(copy->items.size(), 5U);
    for (int r = 0; r < t.count(); ++r) {
        EXPECT_EQ(copy->items[static_cast<std::size_t>(r)], t.row(r)) << r;
    }
    EXPECT_EQ(copy->settings, settings);
    // Without an urgent message, or one that runs until it is ended.
    for (std::optional<UrgentMessage> urgent :
         {std::optional<UrgentMessage>{},
          std::optional(UrgentMessage{"迷子のお知らせ", "白", "明るい赤", std::nullopt})}) {
        settings.urgent = urgent;
        ASSERT_TRUE(state.write(t, settings));
        EXPECT_EQ(ControlState(dir.path()).read(why)->settings, settings) << why;
    }
}

// Every way a copy can be unreadable: nothing is restored, a line says why, and the copy is left
// as it was until the list changes.
struct Unreadable {
    const char* name;
    std::function<void(StateFixture&)> spoil;
    const char* why;
};

class UnreadableCopy : public StateFixture, public ::testing::WithParamInterface<Unreadable> {};

TEST_P(UnreadableCopy, GivesNothingAndIsKeptUntilTheListChanges) {
    const Unreadable& row = GetParam();
    {
        ControlState writer(dir.path());
        ASSERT_TRUE(writer.write(table(), settings));
    }
    row.spoil(*this);
    const std::string spoiled = settingsFile();

    ControlState state(dir.path());
    std::string why;
    EXPECT_FALSE(state.read(why));
    EXPECT_NE(why.find(row.why), std::string::npos) << why;
    EXPECT_EQ(why.find('\n'), std::string::npos);

    // A setting alone does not overwrite it; a change of the list does.
    EXPECT_FALSE(state.write(ItemTable{}, settings));
    EXPECT_EQ(settingsFile(), spoiled);
    state.listChanged();
    EXPECT_TRUE(state.write(table(), settings));
    EXPECT_TRUE(ControlState(dir.path()).read(why)) << why;
}

INSTANTIATE_TEST_SUITE_P(
    Copies, UnreadableCopy,
    ::testing::Values(
        Unreadable{"missing", [](StateFixture& f) { fs::remove_all(f.dir.path()); }, "no copy"},
        Unreadable{"newer",
                   [](StateFixture& f) {
                       f.overwrite("state.txt", "lmsign-control-state 2\nlist=list-a.txt\n");
                   },
                   "newer"},
        Unreadable{"garbage", [](StateFixture& f) { f.overwrite("state.txt", "\x81\xff\n"); },
                   "damaged"},
        Unreadable{"list cut short",
                   [](StateFixture& f) {
                       const std::string list = f.settingsFile().find("list-a") != std::string::npos
                                                    ? "list-a.txt"
                                                    : "list-b.txt";
                       f.overwrite(list, "文字\r\nA\r\n");
                   },
                   "does not hold 2 items"},
        Unreadable{"settings without repetition",
                   [](StateFixture& f) {
                       f.overwrite("state.txt",
                                   "lmsign-control-state 1\nlist=list-a.txt\nitems=2\n");
                   },
                   "incomplete"}),
    [](const ::testing::TestParamInfo<Unreadable>& param) {
        std::string name = param.param.name;
        for (char& c : name) {
            c = std::isalnum(static_cast<unsigned char>(c)) != 0 ? c : '_';
        }
        return name;
    });

// A copy written before the plan was kept, or by a newer program with keys of its own, reads:
// keys a reader does not know are passed over, and the missing ones mean no plan.
TEST_F(StateFixture, KeysAReaderDoesNotKnowArePassedOverAndMissingOnesMeanNoPlan) {
    ASSERT_TRUE(ControlState(dir.path()).write(table(), settings));
    std::string older;
    std::istringstream lines(settingsFile());
    for (std::string line; std::getline(lines, line);) {
        if (!line.starts_with("plan=") && !line.starts_with("follow-plan=") &&
            !line.starts_with("list-")) {
            older += line + "\n";
        }
    }
    overwrite("state.txt", older + "screen-saver=off\n");
    std::string why;
    const std::optional<ControlState::Copy> copy = ControlState(dir.path()).read(why);
    ASSERT_TRUE(copy) << why;
    EXPECT_EQ(copy->items.size(), 2U);
    EXPECT_EQ(copy->settings.speed, "速く");
    EXPECT_EQ(copy->settings.planFile, "");
    EXPECT_FALSE(copy->settings.followPlan);
    EXPECT_EQ(copy->settings.listFile, "");
    EXPECT_FALSE(copy->settings.listUnsaved);
}

TEST_F(StateFixture, AListAShowFileCannotHoldIsNotKept) {
    ControlState state(dir.path());
    ASSERT_TRUE(state.write(table(), settings));
    ItemTable odd = table();
    odd.append(test::textRow("€"));
    EXPECT_FALSE(state.write(odd, settings));
    std::string why;
    EXPECT_FALSE(ControlState(dir.path()).read(why));
    EXPECT_NE(why.find("no copy"), std::string::npos) << why;
}

TEST(ControlStateFolder, IsOneForEachWorkingFolder) {
    const fs::path home = "/home/sign/.local/state";
    EXPECT_EQ(ControlState::folderFor(home, "/srv/a/lmsign"),
              ControlState::folderFor(home, "/srv/a/lmsign"));
    EXPECT_NE(ControlState::folderFor(home, "/srv/a/lmsign"),
              ControlState::folderFor(home, "/srv/b/lmsign"));
    EXPECT_EQ(ControlState::folderFor(home, "/srv/a/lmsign").parent_path(), home / "lmsign");
}

} // namespace
} // namespace lm
