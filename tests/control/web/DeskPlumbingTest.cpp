#include "ApiError.h"
#include "DeskThread.h"
#include "EventHub.h"
#include "UiCalls.h"

#include <atomic>
#include <future>
#include <gtest/gtest.h>

namespace lm {
namespace {

using namespace std::chrono_literals;

TEST(WebUiCallsTest, RunsOnTheDesksThreadAndHandsBackResultOrException) {
    test::DeskThread desk;
    UiCalls calls(desk.poster(), 2s);
    const auto [thread, value] = calls.run([] {
        return std::pair{std::this_thread::get_id(), 42};
    });
    EXPECT_EQ(thread, desk.id());
    EXPECT_EQ(value, 42);
    EXPECT_THROW(calls.run([]() -> int { throw ApiError(ApiErrorKind::Refused, "full"); }),
                 ApiError);
}

TEST(WebUiCallsTest, CallTheDeskNeverTookUpIsDroppedForGood) {
    test::DeskThread desk;
    UiCalls calls(desk.poster(), 100ms);
    desk.hold();
    std::atomic<bool> ran = false;
    const auto before = std::chrono::steady_clock::now();
    try {
        calls.run([&] { ran = true; });
        ADD_FAILURE() << "a call the desk never took up returned";
    } catch (const ApiError& error) {
        EXPECT_EQ(error.kind(), ApiErrorKind::Unavailable);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - before, 1s);
    // The loop comes back: the dropped call must not run late.
    desk.release();
    EXPECT_EQ(calls.run([] { return 1; }), 1);
    EXPECT_FALSE(ran);
}

TEST(WebUiCallsTest, CloseWakesWaitingCallsAtOnceAndRefusesNewOnes) {
    test::DeskThread desk;
    UiCalls calls(desk.poster(), 10s);
    desk.hold();
    auto waiting = std::async(std::launch::async, [&] {
        const auto before = std::chrono::steady_clock::now();
        EXPECT_THROW(calls.run([] {}), ApiError);
        return std::chrono::steady_clock::now() - before;
    });
    std::this_thread::sleep_for(50ms);
    calls.close();
    EXPECT_LT(waiting.get(), 2s);
    EXPECT_THROW(calls.run([] {}), ApiError);
    calls.open();
    desk.release();
    EXPECT_NO_THROW(calls.run([] {}));
}

std::string nextFrame(EventHub::Subscription& subscription) {
    std::string frame;
    EXPECT_EQ(subscription.next(1s, frame), EventHub::Subscription::Next::Event);
    return frame;
}

TEST(WebEventHubTest, EveryStreamGetsEachEventInOrder) {
    EventHub hub;
    hub.open(5);
    auto a = hub.subscribe();
    auto b = hub.subscribe();
    ASSERT_TRUE(a && b);
    hub.publish("list", {{"rows", 3}});
    hub.publish("run", {{"running", true}});
    for (EventHub::Subscription* stream : {a.get(), b.get()}) {
        EXPECT_EQ(nextFrame(*stream), "id: 1\nevent: list\ndata: {\"rows\":3}\n\n");
        EXPECT_EQ(nextFrame(*stream), "id: 2\nevent: run\ndata: {\"running\":true}\n\n");
        std::string frame;
        EXPECT_EQ(stream->next(10ms, frame), EventHub::Subscription::Next::Quiet);
    }
}

TEST(WebEventHubTest, TypeAndDataCannotBreakTheFrame) {
    const std::string frame = EventHub::frame(7, "x\ndata: forged", {{"text", "a\nb\r\nc"}});
    EXPECT_EQ(frame, "id: 7\nevent: x-data--forged\ndata: {\"text\":\"a\\nb\\r\\nc\"}\n\n");
}

TEST(WebEventHubTest, PlacesAreCappedAndFreedWithTheStream) {
    EventHub hub;
    EXPECT_FALSE(hub.subscribe()) << "closed until opened";
    hub.open(2);
    auto a = hub.subscribe();
    auto b = hub.subscribe();
    EXPECT_TRUE(a && b);
    EXPECT_FALSE(hub.subscribe());
    a.reset();
    EXPECT_TRUE(hub.subscribe());
}

TEST(WebEventHubTest, CloseEndsEveryWaitingStreamAtOnce) {
    EventHub hub;
    hub.open(3);
    auto stream = hub.subscribe();
    auto waiting = std::async(std::launch::async, [&] {
        std::string frame;
        return stream->next(10s, frame);
    });
    std::this_thread::sleep_for(20ms);
    const auto before = std::chrono::steady_clock::now();
    hub.close();
    EXPECT_EQ(waiting.get(), EventHub::Subscription::Next::Ended);
    EXPECT_LT(std::chrono::steady_clock::now() - before, 1s);
    EXPECT_FALSE(hub.subscribe());
}

TEST(WebEventHubTest, StreamThatFallsBehindIsEndedAndTheOthersGoOn) {
    EventHub hub(3);
    hub.open(2);
    auto slow = hub.subscribe();
    auto quick = hub.subscribe();
    std::string frame;
    for (int i = 0; i < 4; ++i) {
        hub.publish("tick", i);
        ASSERT_EQ(quick->next(1s, frame), EventHub::Subscription::Next::Event);
    }
    EXPECT_EQ(slow->next(0ms, frame), EventHub::Subscription::Next::Ended);
    hub.publish("tick", 4);
    EXPECT_EQ(quick->next(1s, frame), EventHub::Subscription::Next::Event);
    EXPECT_NE(frame.find("data: 4\n"), std::string::npos);
}

TEST(WebEventHubTest, WaitingStreamSeesAPublishWithin100Ms) {
    EventHub hub;
    hub.open(1);
    auto stream = hub.subscribe();
    // The best of three, so that one slow turn of a busy machine does not count.
    auto best = std::chrono::steady_clock::duration::max();
    for (int round = 0; round < 3; ++round) {
        std::promise<std::chrono::steady_clock::time_point> received;
        std::thread reader([&] {
            std::string frame;
            if (stream->next(5s, frame) == EventHub::Subscription::Next::Event) {
                received.set_value(std::chrono::steady_clock::now());
            }
        });
        std::this_thread::sleep_for(30ms);
        const auto sent = std::chrono::steady_clock::now();
        hub.publish("change", round);
        auto arrival = received.get_future();
        const bool arrived = arrival.wait_for(1s) == std::future_status::ready;
        reader.join();
        ASSERT_TRUE(arrived);
        best = std::min(best, arrival.get() - sent);
    }
    EXPECT_LT(best, 100ms);
}

} // namespace
} // namespace lm
