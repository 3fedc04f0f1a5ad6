// The one-line requests between two LMControl on one computer, and their replies.

#include "ControlRequest.h"

#include <gtest/gtest.h>

namespace lm {
namespace {

using Kind = ControlRequest::Kind;

TEST(ControlRequest, EveryRequestComesThroughWhateverItCarries) {
    const ControlRequest requests[] = {
        {Kind::Raise, "", "", 0},
        {Kind::Open, "/home/sign/表示 リスト/show 1.txt", "", 0},
        {Kind::Start, "/tmp/a%20b\\c=d.txt", "", 0},
        {Kind::Say, "", "地震です。\r\n落ち着いて % 行動して下さい", 15},
        {Kind::Say, "", "", 0},
        {Kind::SayEnd, "", "", 0},
    };
    for (const ControlRequest& request : requests) {
        const std::string line = request.encode();
        EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << line;
        EXPECT_EQ(ControlRequest::parse(line), request) << line;
    }
}

TEST(ControlRequest, ALineThatIsNoRequestIsRefused) {
    for (const char* line : {"", "open", "open =", "open /tmp/x", "start =%4", "start =%zz",
                             "say x =a", "say -1 =a", "say 5", "raise now", "format c:"}) {
        EXPECT_FALSE(ControlRequest::parse(line)) << line;
    }
}

TEST(ControlReply, TellsDoneFromARefusalWithItsWords) {
    EXPECT_EQ(controlReply::parse(controlReply::encode("")), std::string());
    const std::string why = "「表示させる文字」に、改行が含まれています。\nもう一行";
    EXPECT_EQ(controlReply::parse(controlReply::encode(why)), why);
    EXPECT_FALSE(controlReply::parse("maybe"));
}

} // namespace
} // namespace lm
