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
        {Kind::Plan, "/home/sign/週の予定.txt", "", 0},
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

TEST(ControlReply, ComesThroughWithItsStatusAndWords) {
    using Status = ControlReply::Status;
    const std::string why = "「表示させる文字」に、改行が含まれています。\nもう一行";
    const std::pair<ControlReply, int> replies[] = {
        {{Status::Done, ""}, 0},
        {{Status::Done, "緊急表示をコンピュータ 1 が表示しています。"}, 0},
        {{Status::Refused, why}, 1},
        {{Status::Refused, ""}, 1},
        {{Status::Unconfirmed, "コンピュータ 2 に送りました"}, 3},
    };
    for (const auto& [reply, status] : replies) {
        const std::string line = reply.encode();
        EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << line;
        EXPECT_EQ(ControlReply::parse(line), reply) << line;
        EXPECT_EQ(reply.exitStatus(), status) << line;
    }
    // What the programs before the words were added answer.
    EXPECT_EQ(ControlReply::parse("ok"), (ControlReply{Status::Done, ""}));
    EXPECT_EQ(ControlReply::parse("refused =no%20room"),
              (ControlReply{Status::Refused, "no room"}));
    for (const char* line : {"maybe", "refused", "sent", "ok =", "ok =a =b", "sent a"}) {
        EXPECT_FALSE(ControlReply::parse(line)) << line;
    }
}

} // namespace
} // namespace lm
