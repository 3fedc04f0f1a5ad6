#include "ChangeNotices.h"

#include "VirtualClock.h"

#include <gtest/gtest.h>
#include <utility>
#include <vector>

namespace lm {
namespace {

TEST(ChangeNotices, ABurstIsHandledOnceAfterTheDelayAndNeverInsideAHandler) {
    test::VirtualClock clock;
    ChangeNotices notices(3);
    clock.attach(notices.timer());
    std::vector<std::pair<std::int64_t, int>> handled;
    bool handling = false;
    notices.setHandler([&](int key) {
        EXPECT_FALSE(handling) << "handled inside a handler";
        handling = true;
        handled.emplace_back(clock.now(), key);
        // The file changes again while its change is handled.
        if (handled.size() == 1) {
            notices.report(key);
        }
        handling = false;
    });

    for (const int key : {2, 1, 2, -1, 1, 3, 1}) {
        notices.report(key);
    }
    EXPECT_TRUE(handled.empty());
    EXPECT_TRUE(notices.isPending(1) && notices.isPending(2) && !notices.isPending(0));

    const int delay = ChangeNotices::delayMs;
    clock.advance(delay);
    EXPECT_EQ(handled, (std::vector<std::pair<std::int64_t, int>>{{delay, 1}, {delay, 2}}));
    clock.advance(delay);
    ASSERT_EQ(handled.size(), 3U);
    EXPECT_EQ(handled.back(), std::make_pair(std::int64_t{2 * delay}, 1));
    clock.advance(1000);
    EXPECT_EQ(handled.size(), 3U);
    EXPECT_FALSE(notices.timer().isEnabled());
}

} // namespace
} // namespace lm
