// The journal of LMControl --no-window: what a message box would say, one line each on the
// stream that systemd keeps.

#include "DeskJournal.h"

#include "OperatorDesk.h"
#include "TempDir.h"

#include <gtest/gtest.h>
#include <sstream>

namespace lm {
namespace {

struct JournalCase {
    const char* name;
    std::vector<DeskMessage> messages;
    std::string journal;
};

class DeskJournalTest : public ::testing::TestWithParam<JournalCase> {};

TEST_P(DeskJournalTest, AnnouncementsBecomeOneLineEach) {
    test::TempDir work;
    OperatorDesk desk({work.path(), {}, nullptr});
    std::ostringstream out;
    const DeskJournal journal(desk, out);
    desk.announce(GetParam().messages);
    EXPECT_EQ(out.str(), GetParam().journal) << GetParam().name;
    // Taken: the next announcement does not repeat them.
    EXPECT_TRUE(desk.announcements().empty());
}

INSTANTIATE_TEST_SUITE_P(
    DeskJournal, DeskJournalTest,
    ::testing::Values(JournalCase{"a box with its title",
                                  {{"ファイルを読み込めませんでした。", "注意！！"}},
                                  "LMControl: 注意！！ ファイルを読み込めませんでした。\n"},
                      JournalCase{
                          "a box of two lines",
                          {{"２項目以上の動作（文字や画像）を\r\n設定して下さい。", "注意！"}},
                          "LMControl: 注意！ ２項目以上の動作（文字や画像）を 設定して下さい。\n"},
                      JournalCase{"lines broken by a lone LF",
                                  {{"一行目\n二行目", "注意！"}},
                                  "LMControl: 注意！ 一行目 二行目\n"},
                      JournalCase{"two boxes, one without a title",
                                  {{"一つ目", "注意！"}, {"二つ目", ""}},
                                  "LMControl: 注意！ 一つ目\nLMControl: 二つ目\n"}));

} // namespace
} // namespace lm
