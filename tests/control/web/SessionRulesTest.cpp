#include "LoginThrottle.h"
#include "SessionStore.h"
#include "TempDir.h"
#include "WebChangeLog.h"

#include <fstream>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sys/stat.h>
#include <vector>

namespace lm {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
const Clock::time_point start{std::chrono::hours(1)};

struct ThrottleCase {
    const char* name;
    std::vector<int> failures; // seconds after start
    int askedAt;               // seconds after start
    int expectedWait;          // seconds
};

class WebLoginThrottleTest : public ::testing::TestWithParam<ThrottleCase> {};

TEST_P(WebLoginThrottleTest, FiveFailuresWithinAMinuteLockTheAddressOut) {
    const ThrottleCase& row = GetParam();
    LoginThrottle throttle;
    for (const int second : row.failures) {
        throttle.failed("10.0.0.7", start + std::chrono::seconds(second));
    }
    EXPECT_EQ(throttle.wait("10.0.0.7", start + std::chrono::seconds(row.askedAt)).count(),
              row.expectedWait)
        << row.name;
    EXPECT_EQ(throttle.wait("10.0.0.8", start + std::chrono::seconds(row.askedAt)).count(), 0)
        << row.name << ": another address";
}

INSTANTIATE_TEST_SUITE_P(
    WebTimelines, WebLoginThrottleTest,
    ::testing::Values(ThrottleCase{"four", {0, 1, 2, 3}, 4, 0},
                      ThrottleCase{"five at once", {0, 0, 0, 0, 0}, 0, 300},
                      ThrottleCase{"five in 59 s", {0, 15, 30, 45, 59}, 60, 299},
                      ThrottleCase{"five in 61 s", {0, 15, 30, 45, 61}, 62, 0},
                      ThrottleCase{"lockout nearly over", {0, 1, 2, 3, 4}, 303, 1},
                      ThrottleCase{"lockout over", {0, 1, 2, 3, 4}, 304, 0},
                      ThrottleCase{"old failures slid out", {0, 10, 20, 30, 70}, 71, 0}));

TEST(WebLoginThrottleLimitsTest, SuccessClearsTheCount) {
    LoginThrottle throttle;
    for (int i = 0; i < 4; ++i) {
        throttle.failed("a", start);
    }
    throttle.succeeded("a");
    throttle.failed("a", start);
    EXPECT_EQ(throttle.wait("a", start).count(), 0);
}

TEST(WebLoginThrottleLimitsTest, ManyAddressesAreForgottenQuietestFirst) {
    LoginThrottle throttle(LoginThrottle::Rules{5, 60s, 300s, 3});
    for (int i = 0; i < 5; ++i) {
        throttle.failed("locked", start + 10s);
    }
    throttle.failed("old", start);
    throttle.failed("newer", start + 20s);
    throttle.failed("newest", start + 30s); // forgets "old", the quietest
    EXPECT_GT(throttle.wait("locked", start + 31s).count(), 0);
}

TEST(WebSessionStoreTest, SessionLivesWhileUsedAndEndsWhenIdleOrOld) {
    SessionStore sessions(SessionStore::Rules{30min, 24h, 10});
    const auto opened = sessions.open("10.0.0.1", "hash", start);
    EXPECT_EQ(opened.session.label.size(), 8U);
    EXPECT_EQ(opened.cookie.find(opened.session.label), std::string::npos);
    Clock::time_point now = start;
    // Used every 29 minutes, it lives up to a day.
    for (; now + 29min < start + 24h; now += 29min) {
        ASSERT_TRUE(sessions.use(opened.cookie, "hash", now + 29min)) << (now - start).count();
    }
    EXPECT_FALSE(sessions.use(opened.cookie, "hash", start + 24h));

    const auto idle = sessions.open("10.0.0.1", "hash", start);
    EXPECT_FALSE(sessions.use(idle.cookie, "hash", start + 30min));
    EXPECT_FALSE(sessions.use(idle.cookie, "hash", start)) << "ended for good";
}

TEST(WebSessionStoreTest, LogOutNewPasswordAndForgedCookiesEndOrFindNothing) {
    SessionStore sessions;
    const auto a = sessions.open("10.0.0.1", "old", start);
    const auto b = sessions.open("10.0.0.2", "old", start);
    EXPECT_NE(a.cookie, b.cookie);
    sessions.close(a.cookie);
    EXPECT_FALSE(sessions.use(a.cookie, "old", start));
    EXPECT_FALSE(sessions.use(b.cookie, "new", start)) << "the password changed";
    EXPECT_FALSE(sessions.use(b.cookie, "old", start)) << "and it stays ended";
    EXPECT_FALSE(sessions.use("", "old", start));
    EXPECT_FALSE(sessions.use(a.session.label, "old", start));
}

TEST(WebSessionStoreTest, PastTheCapTheIdlestGoes) {
    SessionStore sessions(SessionStore::Rules{30min, 24h, 2});
    const auto first = sessions.open("a", "h", start);
    const auto second = sessions.open("b", "h", start + 1min);
    ASSERT_TRUE(sessions.use(first.cookie, "h", start + 2min));
    const auto third = sessions.open("c", "h", start + 3min);
    EXPECT_EQ(sessions.size(), 2U);
    EXPECT_FALSE(sessions.use(second.cookie, "h", start + 3min));
    EXPECT_TRUE(sessions.use(first.cookie, "h", start + 3min));
    EXPECT_TRUE(sessions.use(third.cookie, "h", start + 3min));
}

TEST(WebSessionStoreTest, SessionsOutliveARestartWithTheirTimesAndNothingElse) {
    // The first run's steady clock began long before the second run's: only the wall clock
    // joins the two runs.
    const std::chrono::system_clock::time_point wall{std::chrono::hours(490000)};
    SessionStore before(SessionStore::Rules{30min, 24h, 10});
    const auto fresh = before.open("10.0.0.1", "hash", start);
    const auto idle = before.open("10.0.0.2", "hash", start);
    const auto old = before.open("10.0.0.3", "hash", start - 23h);
    ASSERT_TRUE(before.use(fresh.cookie, "hash", start + 20min));
    for (Clock::time_point at = start - 23h + 20min; at <= start + 20min; at += 20min) {
        ASSERT_TRUE(before.use(old.cookie, "hash", at));
    }
    const std::string text = before.saved(start + 20min, wall);
    EXPECT_EQ(text.find(fresh.cookie), std::string::npos) << "only the cookies' hashes";

    // Restarted 5 minutes later (wall clock), on a steady clock that reads far less.
    const Clock::time_point later{std::chrono::minutes(3)};
    SessionStore after(SessionStore::Rules{30min, 24h, 10});
    after.restore("spoilt line\n" + text + "0123 1 2 a h\n", later, wall + 5min);
    EXPECT_EQ(after.size(), 3U) << "lines that cannot be read are passed over";
    // fresh was used 5 minutes ago: it lives 25 more; idle was used 25 minutes ago.
    EXPECT_FALSE(after.use(idle.cookie, "hash", later + 5min));
    const auto usedFresh = after.use(fresh.cookie, "hash", later + 24min);
    ASSERT_TRUE(usedFresh);
    EXPECT_EQ(usedFresh->address, "10.0.0.1");
    EXPECT_EQ(usedFresh->label, fresh.session.label);
    // old was opened 23 h 25 min before the restart: a day ends it, however much it is used.
    EXPECT_TRUE(after.use(old.cookie, "hash", later + 20min));
    EXPECT_FALSE(after.use(old.cookie, "hash", later + 35min));
    EXPECT_FALSE(after.use(fresh.cookie, "new hash", later + 25min)) << "the password changed";

    // A clock set back since the save: the times count as now, never as the future.
    SessionStore setBack(SessionStore::Rules{30min, 24h, 10});
    setBack.restore(text, later, wall - 2h);
    EXPECT_TRUE(setBack.use(fresh.cookie, "hash", later + 29min));
    EXPECT_FALSE(setBack.use(fresh.cookie, "hash", later + 59min));
}

TEST(WebChangeLogTest, OneJsonLineEachAtMode0600) {
    test::TempDir dir;
    WebChangeLog log(dir.path() / "state" / "web-changes.log");
    const auto time = std::chrono::system_clock::time_point(
        std::chrono::milliseconds(1700000000123LL)); // 2023-11-14T22:13:20.123Z
    ASSERT_TRUE(log.write({time, "10.0.0.9", "token panel", "POST /api/say \"x\"\n", 200}));
    ASSERT_TRUE(log.write({time, "10.0.0.9", "", "log-in refused", 401}));
    std::ifstream in(log.file());
    std::vector<nlohmann::json> lines;
    for (std::string line; std::getline(in, line);) {
        lines.push_back(nlohmann::json::parse(line));
    }
    ASSERT_EQ(lines.size(), 2U);
    EXPECT_EQ(lines[0]["time"], "2023-11-14T22:13:20.123Z");
    EXPECT_EQ(lines[0]["address"], "10.0.0.9");
    EXPECT_EQ(lines[0]["who"], "token panel");
    EXPECT_EQ(lines[0]["what"], "POST /api/say \"x\"\n");
    EXPECT_EQ(lines[1]["status"], 401);
    struct stat status {};
    ASSERT_EQ(::stat(log.file().c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777U, 0600U);
}

} // namespace
} // namespace lm
