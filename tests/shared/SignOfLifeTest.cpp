#include "SignOfLife.h"

#include <gtest/gtest.h>

namespace lm {
namespace {

SignOfLife display() {
    SignOfLife life;
    life.host = "wall-pc-2";
    life.bootId = "b1b420b3-1e95-48ec-aad0-7273cb42f067";
    life.pid = 4242;
    life.beat = 18'446'744'073'709'551'615ULL;
    life.port = 47603;
    life.addresses = {"192.168.1.12", "fd00::12"};
    life.clock = ClockState{true, 1500};
    life.job = " 9000 "; // its blanks are part of it
    return life;
}

TEST(SignOfLife, ReadsBackWhatWasWritten) {
    SignOfLife control = display();
    control.clock.reset();
    control.addresses.clear();
    control.job.reset();
    for (const SignOfLife& life : {display(), control, SignOfLife{}}) {
        EXPECT_EQ(SignOfLife::parse(life.encode()), life) << life.encode();
    }
}

TEST(SignOfLife, AFileCaughtHalfWrittenOrForeignReadsAsNothing) {
    const std::string whole = display().encode();
    // Every cut before the last line end: the writer had not finished.
    for (std::size_t cut = 0; cut + 1 < whole.size(); ++cut) {
        EXPECT_FALSE(SignOfLife::parse(whole.substr(0, cut))) << cut;
    }
    for (const char* foreign :
         {"", "x", "lmsign-alive 2\r\nend\r\n", "lmsign-alive 1\r\nport=70000\r\nend\r\n",
          "lmsign-alive 1\r\npid=12x\r\nend\r\n", "lmsign-alive 1\r\nclock=maybe 3\r\nend\r\n",
          "lmsign-alive 1\r\nnothing\r\nend\r\n"}) {
        EXPECT_FALSE(SignOfLife::parse(foreign)) << foreign;
    }
}

TEST(SignOfLife, KeysOfANewerWriterAreSkipped) {
    const auto life = SignOfLife::parse("lmsign-alive 1\nhost=pc\ncolour=blue\nport=5\nend\n");
    ASSERT_TRUE(life);
    EXPECT_EQ(life->host, "pc");
    EXPECT_EQ(life->port, 5);
}

} // namespace
} // namespace lm
