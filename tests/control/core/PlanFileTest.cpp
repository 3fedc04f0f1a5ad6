#include "PlanFile.h"

#include "LineFile.h"
#include "PlanCheck.h"
#include "TempDir.h"

#include <gtest/gtest.h>

namespace lm {
namespace {

using namespace std::chrono;

constexpr year_month_day date(int y, unsigned m, unsigned d) {
    return {year(y), month(m), day(d)};
}

PlanRun show(std::string file, std::string movement = "移動しない", std::string speed = "中",
             std::string displays = "16", bool repeat = true) {
    return {false, std::move(file), std::move(movement), std::move(speed), std::move(displays),
            repeat};
}

TEST(PlanFileTest, GoodFilesReadAsTheirLinesSay) {
    struct Row {
        const char* what;
        std::string text;
        WeekPlan expected;
    } const rows[] = {
        {"a header alone: nothing planned, the displays stopped", "lmsign-plan 1\n", {}},
        {"every kind of entry, CR LF, a byte order mark and comments",
         "\xEF\xBB\xBF# the shop's week\r\n"
         "lmsign-plan 1\r\n\r\n"
         "[otherwise]\r\n  show = idle.txt  \r\n\r\n"
         "[weekly]\r\n# mornings\r\ndays = 月-金\r\ntime = 9:00-17:30\r\nshow = 朝 の 案内.txt\r\n"
         "movement = 左へ\r\nspeed = やや速く\r\ndisplays = 3\r\nrepeat = no\r\n"
         "[weekly]\r\ndays = sat, SUN\r\ntime = 22:00 - 02:00\r\nblank\r\n"
         "[dated]\r\ndates = 2025-12-24..2025-12-26\r\ntime = 18:00-24:00\r\nshow = "
         "/srv/xmas.txt\r\n"
         "[dated]\r\ndates = 2026-01-01\r\nblank\r\n",
         {{{0x1FU, {540, 1050}, show("朝 の 案内.txt", "左へ", "やや速く", "3", false)},
           {0x60U, {1320, 120}, {}}},
          {{date(2025, 12, 24), date(2025, 12, 26), {1080, 1440}, show("/srv/xmas.txt")},
           {date(2026, 1, 1), date(2026, 1, 1), {0, 1440}, {}}},
          show("idle.txt")}},
        {"days together in kanji, a range over Sunday, midnight as an end",
         "lmsign-plan 1\n[weekly]\ndays = 火水\ntime = 00:00-00:00\nblank\n"
         "[weekly]\ndays = fri-mon\ntime = 22:00-00:00\nblank\n",
         {{{0x06U, {0, 1440}, {}}, {0x71U, {1320, 1440}, {}}}, {}, {}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const PlanRead read = planFile::parse(row.text);
        EXPECT_EQ(read.reason, "");
        EXPECT_EQ(read.plan, row.expected);
    }
}

TEST(PlanFileTest, BadFilesAreRefusedWithTheLineAndTheReason) {
    const std::string head = "lmsign-plan 1\n";
    struct Row {
        std::string text;
        int line;
        std::string reason;
    } const rows[] = {
        {"", 0, "週の予定のファイルではありません（「lmsign-plan 1」の行がありません）。"},
        {"# only\nshow-list\n", 2,
         "週の予定のファイルではありません（初めの行は「lmsign-plan 1」です）。"},
        {"lmsign-plan 2\n", 1, "新しい版の LMControl で書かれた予定です（lmsign-plan 2）。"},
        {head + "days = mon\n", 2,
         "予定の見出し（[weekly]、[dated]、[otherwise]）より前に書かれています。"},
        {head + "[weekdays]\n", 2,
         "「[weekdays]」は予定の見出しではありません（[weekly]、[dated]、[otherwise] "
         "のどれかです）。"},
        {head + "[weekly]\ndays mon\n", 3, "「days mon」は「項目 = 値」の形ではありません。"},
        {head + "[weekly]\ncolour = 白\n", 3, "「colour」という項目はありません。"},
        {head + "[otherwise]\ntime = 09:00-10:00\n", 3, "「time」は [otherwise] には書けません。"},
        {head + "[dated]\ndays = mon\n", 3, "「days」は [dated] には書けません。"},
        {head + "[weekly]\ndays = mon\ndays = tue\n", 4, "「days」が二度書かれています。"},
        {head + "[weekly]\ndays = mon xyz\n", 3,
         "曜日「mon xyz」が読めません（mon〜sun か 月〜日。mon-fri のような範囲も書けます）。"},
        {head + "[weekly]\ndays = mon\ntime = 9-17\n", 4,
         "時刻「9-17」が読めません（例：09:00-17:00、22:00-02:00）。"},
        {head + "[weekly]\ndays = mon\ntime = 24:00-02:00\n", 4,
         "時刻「24:00-02:00」が読めません（例：09:00-17:00、22:00-02:00）。"},
        {head + "[weekly]\ndays = mon\ntime = 10:00-10:00\n", 4,
         "始まりと終わりが同じ時刻です（終日なら 00:00-24:00）。"},
        {head + "[dated]\ndates = 2025-02-29\n", 3,
         "日付「2025-02-29」が読めません（例：2025-12-24、2025-12-24..2025-12-26）。"},
        {head + "[dated]\ndates = 2025-12-26..2025-12-24\n", 3,
         "終わりの日付が始まりの日付より前です。"},
        {head + "[dated]\ndates = 1999-12-31\n", 3, "日付は 2000 年から 2099 年までです。"},
        {head + "[weekly]\nblank\n", 2, "曜日（days）がありません。"},
        {head + "\n[dated]\nblank\n", 3, "日付（dates）がありません。"},
        {head + "[otherwise]\n", 2,
         "表示するショー（show = ファイル名）か、表示なし（blank）を書いてください。"},
        {head + "[otherwise]\nblank\nshow = a.txt\n", 4, "show と blank は一緒に書けません。"},
        {head + "[otherwise]\nblank\nspeed = 中\n", 4, "「speed」は blank の予定には書けません。"},
        {head + "[otherwise]\nshow =\n", 3, "ショーのファイル名がありません。"},
        {head + "[otherwise]\nshow = a.txt\nmovement = 右へ\n", 4,
         "移動「右へ」は使えません（移動しない、左へ）。"},
        {head + "[otherwise]\nshow = a.txt\nspeed = 普通\n", 4,
         "速さ「普通」は使えません（速く、やや速く、中、やや遅く、遅く）。"},
        {head + "[otherwise]\nshow = a.txt\ndisplays = 17\n", 4,
         "表示の数「17」は 1 から 16 までの数です。"},
        {head + "[otherwise]\nshow = a.txt\nrepeat = 1\n", 4, "repeat は yes か no です。"},
        {head + "[otherwise]\nblank\n[otherwise]\nblank\n", 4, "[otherwise] は一つだけです。"},
        {head + "[otherwise]\nshow = \xff.txt\n", 3, "UTF-8 として読めない文字があります。"},
        {head + "[weekly]\ndays = fri\ntime = 22:00-02:00\nblank\n\n[weekly]\ndays = sat\ntime = "
                "01:00-03:00\nshow = a.txt\n",
         7,
         "2 行目の予定と重なっています。「毎週 金 22:00〜翌02:00 表示なし」と「毎週 土 "
         "01:00〜03:00 a.txt」は、土 01:00 "
         "から重なっています。同じ種類の予定は、同じ時刻に一つだけです。"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        const PlanRead read = planFile::parse(row.text);
        EXPECT_FALSE(read.plan);
        EXPECT_EQ(read.line, row.line);
        EXPECT_EQ(read.reason, row.reason);
    }
    const PlanRead refused = planFile::parse(head + "[weekly]\n");
    EXPECT_EQ(refused.words("/home/lm/plan.txt"),
              "週の予定「/home/lm/plan.txt」の 2 行目：曜日（days）がありません。");
}

TEST(PlanFileTest, AWrittenPlanReadsBackAndARefusedOneLeavesTheFileAlone) {
    test::TempDir dir;
    const std::filesystem::path path = dir.path() / "plan.txt";
    WeekPlan plan;
    plan.otherwise = show("idle.txt", "左へ", "遅く", "5", false);
    plan.weekly.push_back({0x41U, {1320, 120}, show("夜 の 部.txt")});
    plan.dated.push_back({date(2025, 12, 24), date(2025, 12, 26), {1080, 1440}, {}});
    // A blank entry's settings are not kept: they could not be read back.
    plan.dated.push_back({date(2026, 1, 1), date(2026, 1, 1), {0, 1440}, {true, "x.txt"}});
    ASSERT_EQ(planFile::write(path, plan), "");
    WeekPlan expected = plan;
    expected.dated[1].run = {};
    EXPECT_EQ(planFile::read(path).plan, expected);

    const std::string before = lineFile::readBytes(path).value_or("");
    struct Row {
        const char* what;
        WeekPlan plan;
        std::string refusal;
    } const rows[] = {
        {"two weekly entries at once",
         {{{0x01U, {600, 720}, {}}, {0x01U, {690, 780}, {}}}, {}, {}},
         "「毎週 月 10:00〜12:00 表示なし」と「毎週 月 11:30〜13:00 表示なし」は、月 11:30 "
         "から重なっています。同じ種類の予定は、同じ時刻に一つだけです。"},
        {"a show file name with a line break",
         {{}, {}, show("a\nb.txt")},
         "週の予定に書けない値があります：「b.txt」は「項目 = 値」の形ではありません。"},
        {"a show file name that ends in a space",
         {{}, {}, show("a.txt ")},
         "週の予定に書けない値があります（ファイル名の前後の空白など）。"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(planFile::write(path, row.plan), row.refusal);
        EXPECT_EQ(lineFile::readBytes(path), before);
    }
    EXPECT_EQ(planFile::write(dir.path() / "missing" / "plan.txt", plan),
              "週の予定「" + (dir.path() / "missing" / "plan.txt").string() +
                  "」を書き込めません。");
    EXPECT_EQ(planFile::read(dir.path() / "none.txt").reason, "ファイルを読めません。");
    EXPECT_EQ(planFile::showPath("/srv/wall/plan.txt", show("shows/a.txt")),
              "/srv/wall/shows/a.txt");
    EXPECT_EQ(planFile::showPath("/srv/wall/plan.txt", show("/opt/b.txt")), "/opt/b.txt");
}

TEST(PlanCheckTest, EntriesOfOneKindMayNotMeetButMayTouch) {
    struct Row {
        const char* what;
        WeekPlan plan;
        std::optional<PlanOverlap> expected;
    } const rows[] = {
        {"one after the other",
         {{{0x01U, {540, 720}, {}}, {0x01U, {720, 900}, {}}}, {}, {}},
         std::nullopt},
        {"Friday night into Saturday morning",
         {{{0x10U, {1320, 120}, {}}, {0x20U, {60, 600}, {}}}, {}, {}},
         PlanOverlap{false, 0, 1, 5 * 1440 + 60}},
        {"Sunday night into Monday morning",
         {{{0x01U, {0, 480}, {}}, {0x40U, {1320, 120}, {}}}, {}, {}},
         PlanOverlap{false, 0, 1, 0}},
        {"days apart", {{{0x01U, {0, 1440}, {}}, {0x02U, {0, 1440}, {}}}, {}, {}}, std::nullopt},
        {"a dated entry lies over the week",
         {{{0x7FU, {0, 1440}, {}}}, {{date(2025, 12, 8), date(2025, 12, 8), {0, 1440}, {}}}, {}},
         std::nullopt},
        {"dated days in a row",
         {{},
          {{date(2025, 12, 8), date(2025, 12, 9), {0, 1440}, {}},
           {date(2025, 12, 10), date(2025, 12, 10), {0, 1440}, {}}},
          {}},
         std::nullopt},
        {"a dated night into the next date's morning",
         {{},
          {{date(2025, 12, 8), date(2025, 12, 9), {1320, 60}, {}},
           {date(2025, 12, 10), date(2025, 12, 10), {0, 1440}, {}}},
          {}},
         PlanOverlap{true, 0, 1, (sys_days(date(2025, 12, 10)).time_since_epoch().count()) * 1440}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(planCheck::firstOverlap(row.plan), row.expected);
    }
    const WeekPlan holidays{{},
                            {{date(2025, 12, 29), date(2026, 1, 3), {0, 1440}, {}},
                             {date(2026, 1, 1), date(2026, 1, 1), {600, 960}, show("年賀.txt")}},
                            {}};
    EXPECT_EQ(planCheck::words(holidays, *planCheck::firstOverlap(holidays)),
              "「2025/12/29〜2026/01/03 終日 表示なし」と「2026/01/01 10:00〜16:00 年賀.txt」は、"
              "2026/01/01 10:00 から重なっています。同じ種類の予定は、同じ時刻に一つだけです。");
}

} // namespace
} // namespace lm
