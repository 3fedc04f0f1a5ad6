#include "Instant.h"

#include <gtest/gtest.h>

namespace lm {
namespace {

Instant sample() {
    Instant instant;
    instant.display = 12;
    instant.head = " 57 "; // line 1 exactly, blanks and all
    instant.sequence = "9f3c00aa12345678-301";
    instant.atUs = 1'765'000'000'123'456;
    instant.host = "wall-pc-3";
    instant.bootId = "b1b420b3-1e95-48ec-aad0-7273cb42f067";
    instant.clock = {true, 850};
    return instant;
}

TEST(Instant, ReadsBackWhatWasWrittenWithOrWithoutAnInstant) {
    Instant none = sample();
    none.atUs.reset();
    none.clock = {false, 16'000'000};
    for (const Instant& instant : {sample(), none}) {
        EXPECT_EQ(Instant::parse(instant.encode()), instant) << instant.encode();
    }
}

TEST(Instant, AFileCaughtHalfWrittenOrForeignReadsAsNothing) {
    const std::string whole = sample().encode();
    for (std::size_t cut = 0; cut + 1 < whole.size(); ++cut) {
        EXPECT_FALSE(Instant::parse(whole.substr(0, cut))) << cut;
    }
    for (const char* foreign :
         {"lmsign-instant 2\r\ndisplay=1\r\nhead= 0 \r\nend\r\n",
          "lmsign-instant 1\r\nhead= 0 \r\nend\r\n", "lmsign-instant 1\r\ndisplay=1\r\nend\r\n",
          "lmsign-instant 1\r\ndisplay=1\r\nhead= 0 \r\nat=soon\r\nend\r\n",
          "lmsign-instant 1\r\ndisplay=x\r\nhead= 0 \r\nend\r\n",
          "lmsign-instant 1\r\ndisplay=1\r\nhead= 0 \r\nboot=0f\r3c\r\nend\r\n"}) {
        EXPECT_FALSE(Instant::parse(foreign)) << foreign;
    }
}

} // namespace
} // namespace lm
