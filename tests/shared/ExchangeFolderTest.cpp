#include "ExchangeFolder.h"

#include "TempDir.h"

#include <fstream>
#include <gtest/gtest.h>

namespace lm {
namespace {

namespace fs = std::filesystem;

// Code page 932 bytes of the words the job files carry.
const std::string bunji = "\x95\xB6\x8E\x9A";           // 文字
const std::string hidarie = "\x8D\xB6\x82\xD6";         // 左へ
const std::string shiro = "\x94\x92";                   // 白
const std::string kuraiAo = "\x88\xC3\x82\xA2\x90\xC2"; // 暗い青
const std::string chuu = "\x92\x86";                    // 中
const std::string shuuryou = "\x8F\x49\x97\xB9";        // 終了
const std::string zenkakuBlanks = "\x81\x40\x81\x40";
const std::string crlf = "\r\n";

class ExchangeFolderTest : public ::testing::Test {
protected:
    test::TempDir dir;
    ExchangeFolder exchange{dir.path()};

    void SetUp() override { exchange.make(); }

    void touch(const std::string& name) const { std::ofstream(exchange.folder() / name) << "x"; }
    bool exists(const std::string& name) const { return fs::exists(exchange.folder() / name); }
    std::string bytesOf(const fs::path& path) const { return *lineFile::readBytes(path); }
};

TEST_F(ExchangeFolderTest, NamesTheFilesOfEachDisplay) {
    EXPECT_EQ(exchange.folder(), dir.path() / "data");
    EXPECT_EQ(exchange.jobPath(7).filename(), "LMData7.ini");
    EXPECT_EQ(exchange.answerPath(AnswerKind::Next, 7).filename(), "LMPNext7.ans");
    EXPECT_EQ(exchange.answerPath(AnswerKind::End, 7).filename(), "LMPEnd7.ans");
    EXPECT_EQ(exchange.jobPath(16).filename(), "LMData16.ini");
    EXPECT_EQ(exchange.jobPath(0).filename(), "LMData0.ini");
    EXPECT_EQ(exchange.jobPath(-2).filename(), "LMData-2.ini");
}

TEST_F(ExchangeFolderTest, TellsEachExchangeFileByItsNameAndNothingElse) {
    using Kind = ExchangeFile::Kind;
    for (const int n : {-2, 0, 7, 16, 99}) {
        EXPECT_EQ(ExchangeFolder::fileOf(exchange.jobPath(n).filename().string()),
                  (ExchangeFile{Kind::Job, n}));
        EXPECT_EQ(ExchangeFolder::fileOf("LMPNext" + std::to_string(n) + ".ans"),
                  (ExchangeFile{Kind::NextAnswer, n}));
        EXPECT_EQ(ExchangeFolder::fileOf("LMPEnd" + std::to_string(n) + ".ans"),
                  (ExchangeFile{Kind::EndAnswer, n}));
    }
    for (const char* other :
         {"LMData07.ini", "LMData+7.ini", "LMData-0.ini", "LMData.ini", "LMData7.ini.tmp",
          "lmdata7.ini", "LMPEnd1.ini", "LMAlive7.dat", "LMData99999999999.ini"}) {
        EXPECT_FALSE(ExchangeFolder::fileOf(other)) << other;
    }
}

TEST_F(ExchangeFolderTest, MakeToleratesAnExistingFolderAndAMissingParent) {
    exchange.make();
    EXPECT_TRUE(fs::is_directory(exchange.folder()));
    ExchangeFolder nowhere(dir.path() / "missing" / "deeper");
    nowhere.make();
    EXPECT_FALSE(fs::exists(nowhere.folder()));
}

TEST_F(ExchangeFolderTest, ItemJobForRowZeroIsByteExact) {
    const JobLines job{
        itemNumberLine(0), "文字", "", "移動しない", "", "白", "黒", "中", "ABC", ""};
    ASSERT_EQ(exchange.writeJob(1, job), WriteStatus::Ok);
    const std::string expected = " 0 " + crlf + bunji + crlf + crlf +
                                 "\x88\xDA\x93\xAE\x82\xB5\x82\xC8\x82\xA2" + crlf + crlf + shiro +
                                 crlf + "\x8D\x95" + crlf + chuu + crlf + "ABC" + crlf + crlf;
    EXPECT_EQ(bytesOf(exchange.jobPath(1)), expected);
}

TEST_F(ExchangeFolderTest, StopAndEndJobsAreByteExact) {
    ASSERT_EQ(exchange.writeJob(3, stopJob()), WriteStatus::Ok);
    ASSERT_EQ(exchange.writeJob(4, endJob()), WriteStatus::Ok);
    const std::string tail = crlf + crlf + hidarie + crlf + crlf + shiro + crlf + kuraiAo + crlf +
                             chuu + crlf + zenkakuBlanks + crlf + crlf;
    EXPECT_EQ(bytesOf(exchange.jobPath(3)), "-1" + crlf + bunji + tail);
    EXPECT_EQ(bytesOf(exchange.jobPath(4)), "-1" + crlf + shuuryou + tail);
}

TEST_F(ExchangeFolderTest, JobsReadBackLineByLine) {
    ASSERT_EQ(exchange.writeJob(2, stopJob()), WriteStatus::Ok);
    const auto lines = exchange.readJob(2);
    ASSERT_TRUE(lines);
    const JobLines stop = stopJob();
    EXPECT_EQ(*lines, std::vector<std::string>(stop.begin(), stop.end()));
    const JobHead head = exchange.readJobHead(2);
    EXPECT_EQ(head.status, JobHead::Status::Ok);
    EXPECT_EQ(head.line, "-1");
}

TEST_F(ExchangeFolderTest, JobHeadTellsMissingFromUnreadable) {
    EXPECT_EQ(exchange.readJobHead(5).status, JobHead::Status::Missing);
    std::ofstream(exchange.jobPath(5)).flush(); // empty file
    EXPECT_EQ(exchange.readJobHead(5).status, JobHead::Status::Unreadable);
    lineFile::writeBytes(exchange.jobPath(5), "\r\n");
    const JobHead emptyLine = exchange.readJobHead(5);
    EXPECT_EQ(emptyLine.status, JobHead::Status::Ok);
    EXPECT_EQ(emptyLine.line, "");
}

TEST_F(ExchangeFolderTest, JobHeadOfAFileThatExistsButCannotBeReadIsUnreadable) {
    fs::create_directory(exchange.jobPath(6)); // there, but not a file anyone can read
    EXPECT_EQ(exchange.readJobHead(6).status, JobHead::Status::Unreadable);
}

TEST_F(ExchangeFolderTest, NextAnswerIsTheJobHeadACommaAndTheWord) {
    ASSERT_TRUE(exchange.writeAnswer(3, AnswerKind::Next, " 7 "));
    EXPECT_EQ(bytesOf(exchange.answerPath(AnswerKind::Next, 3)), " 7 ,\x8E\x9F\x82\xD6\r\n");
    ASSERT_TRUE(exchange.writeAnswer(3, AnswerKind::End, " 7 "));
    EXPECT_EQ(bytesOf(exchange.answerPath(AnswerKind::End, 3)),
              " 7 ,\x95\x5C\x8E\xA6\x8F\x49\x97\xB9\r\n");

    const Answer next = exchange.readAnswer(AnswerKind::Next, 3);
    EXPECT_EQ(next.field1, " 7 ");
    EXPECT_EQ(next.field2, "次へ");
    EXPECT_EQ(next.value(), 7);
    EXPECT_TRUE(exchange.readAnswer(AnswerKind::End, 3).isEndWord());
}

TEST_F(ExchangeFolderTest, AnswerWriteFailsWithoutTheFolder) {
    ExchangeFolder nowhere(dir.path() / "missing");
    EXPECT_FALSE(nowhere.writeAnswer(1, AnswerKind::End, " 0 "));
    EXPECT_TRUE(nowhere.readAnswer(AnswerKind::End, 1).isEmpty());
}

TEST_F(ExchangeFolderTest, MissingOrEmptyAnswersReportNothing) {
    EXPECT_TRUE(exchange.readAnswer(AnswerKind::Next, 1).isEmpty());
    std::ofstream(exchange.answerPath(AnswerKind::Next, 1)).flush();
    EXPECT_TRUE(exchange.readAnswer(AnswerKind::Next, 1).isEmpty());
    lineFile::writeBytes(exchange.answerPath(AnswerKind::Next, 1), ",\x8E\x9F\x82\xD6\r\n");
    EXPECT_TRUE(exchange.readAnswer(AnswerKind::Next, 1).isEmpty());
}

TEST_F(ExchangeFolderTest, DeletesEachSetAndKeepsEverythingElse) {
    for (const char* name :
         {"LMPEnd1.ans", "LMPEnd16.ans", "LMPNext2.ans", "LMData1.ini", "LMData12.ini",
          "sample.jpg", "show.txt", "LMData1.txt", "XLMData1.ini"}) {
        touch(name);
    }
    exchange.deleteSet(ExchangeSet::EndAnswers);
    EXPECT_FALSE(exists("LMPEnd1.ans"));
    EXPECT_FALSE(exists("LMPEnd16.ans"));
    EXPECT_TRUE(exists("LMPNext2.ans"));
    exchange.deleteSet(ExchangeSet::NextAnswers);
    EXPECT_FALSE(exists("LMPNext2.ans"));
    EXPECT_TRUE(exists("LMData1.ini"));
    exchange.deleteSet(ExchangeSet::Jobs);
    EXPECT_FALSE(exists("LMData1.ini"));
    EXPECT_FALSE(exists("LMData12.ini"));
    for (const char* kept : {"sample.jpg", "show.txt", "LMData1.txt", "XLMData1.ini"}) {
        EXPECT_TRUE(exists(kept)) << kept;
    }
}

TEST_F(ExchangeFolderTest, DeletingWithoutAFolderReportsNothing) {
    ExchangeFolder nowhere(dir.path() / "missing");
    nowhere.deleteSet(ExchangeSet::Jobs);
    EXPECT_FALSE(fs::exists(nowhere.folder()));
}

TEST_F(ExchangeFolderTest, AJobThatCannotTravelIsRefusedAndNothingIsWritten) {
    JobLines job = stopJob();
    job[jobLine::text] = "two\nlines";
    EXPECT_EQ(exchange.writeJob(1, job), WriteStatus::LineBreak);
    job[jobLine::text] = "café";
    EXPECT_EQ(exchange.writeJob(1, job), WriteStatus::NotShiftJis);
    EXPECT_FALSE(fs::exists(exchange.jobPath(1)));
}

TEST_F(ExchangeFolderTest, AJobWriteIntoAMissingFolderFails) {
    ExchangeFolder nowhere(dir.path() / "missing");
    EXPECT_EQ(nowhere.writeJob(1, stopJob()), WriteStatus::IoError);
}

struct TornAnswerCase {
    const char* name;
    AnswerKind kind;
    std::string jobHead;
    std::string word;
};

class TornAnswer : public ExchangeFolderTest,
                   public ::testing::WithParamInterface<TornAnswerCase> {};

// A display's answer caught while it is written reports nothing until its line has ended: a
// cut inside the item number would read as another item (" 1" of " 12 "), a cut after the
// blank as item 0.
TEST_P(TornAnswer, ReportsNothingUntilItsLineHasEnded) {
    const TornAnswerCase& c = GetParam();
    ASSERT_TRUE(exchange.writeAnswer(2, c.kind, c.jobHead));
    const fs::path path = exchange.answerPath(c.kind, 2);
    const std::string whole = bytesOf(path);
    const std::size_t lineEnd = whole.find('\r');
    ASSERT_NE(lineEnd, std::string::npos);
    for (std::size_t cut = 0; cut <= whole.size(); ++cut) {
        SCOPED_TRACE(cut);
        ASSERT_TRUE(lineFile::writeBytes(path, whole.substr(0, cut)));
        const Answer answer = exchange.readAnswer(c.kind, 2);
        if (cut <= lineEnd) {
            EXPECT_TRUE(answer.isEmpty());
            EXPECT_EQ(answer.field2, "");
        } else {
            EXPECT_EQ(answer.field1, c.jobHead);
            EXPECT_EQ(answer.field2, c.word);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Answers, TornAnswer,
    ::testing::Values(TornAnswerCase{"next12", AnswerKind::Next, " 12 ", "次へ"},
                      TornAnswerCase{"end5", AnswerKind::End, " 5 ", "表示終了"},
                      TornAnswerCase{"nextMinus1", AnswerKind::Next, "-1", "次へ"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(ExchangeFolderTest, AnAnswerEndedByALoneLineFeedIsWhole) {
    lineFile::writeBytes(exchange.answerPath(AnswerKind::Next, 1), " 3 ,\x8E\x9F\x82\xD6\n");
    EXPECT_EQ(exchange.readAnswer(AnswerKind::Next, 1).value(), 3);
}

struct AnswerCase {
    std::string line;
    std::string field1;
    std::string field2;
    double value;
    bool isEnd;
};

class AnswerParse : public ::testing::TestWithParam<AnswerCase> {};

TEST_P(AnswerParse, SplitsAtTheFirstComma) {
    const Answer answer = Answer::parse(GetParam().line);
    EXPECT_EQ(answer.field1, GetParam().field1);
    EXPECT_EQ(answer.field2, GetParam().field2);
    EXPECT_EQ(answer.value(), GetParam().value);
    EXPECT_EQ(answer.isEndWord(), GetParam().isEnd);
}

INSTANTIATE_TEST_SUITE_P(Lines, AnswerParse,
                         ::testing::Values(AnswerCase{" 7 ,次へ", " 7 ", "次へ", 7, false},
                                           AnswerCase{" 0 ,表示終了", " 0 ", "表示終了", 0, true},
                                           AnswerCase{" 3 ,  表示終了", " 3 ", "表示終了", 3, true},
                                           AnswerCase{" 3 ,表示終", " 3 ", "表示終", 3, false},
                                           AnswerCase{" 3 ,", " 3 ", "", 3, false},
                                           AnswerCase{" 3 ", " 3 ", "", 3, false},
                                           AnswerCase{"a,b,c", "a", "b,c", 0, false},
                                           AnswerCase{"", "", "", 0, false}));

} // namespace
} // namespace lm
