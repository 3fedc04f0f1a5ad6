#include "WebCommands.h"

#include "PasswordHash.h"
#include "PrivateFiles.h"
#include "Secrets.h"
#include "TempDir.h"
#include "WebSettingsStore.h"

#include <gtest/gtest.h>
#include <sstream>

namespace lm {
namespace {

struct Ran {
    int status;
    std::string out;
    std::string err;
};

class WebCommandsTest : public ::testing::Test {
protected:
    Ran run(WebCommandLine line, const std::string& input = {}) {
        std::istringstream in(input);
        std::ostringstream out;
        std::ostringstream err;
        const int status = runWebCommand(line, places, {in, out, err, false});
        return {status, out.str(), err.str()};
    }
    Ran run(WebCommandLine::Command command, const std::string& name = {},
            const std::string& input = {}) {
        WebCommandLine line;
        line.command = command;
        line.tokenName = name;
        return run(line, input);
    }
    WebSettings saved() {
        std::string why;
        return WebSettingsStore(places.configFolder).load(why).value();
    }
    std::string fileText() {
        std::string why;
        return privateFiles::read(WebSettingsStore(places.configFolder).file(), why).value_or("");
    }

    test::TempDir dir;
    WebPlaces places = WebPlaces::forWorkDir(dir.path() / "config", dir.path() / "state", "/w");
};

TEST_F(WebCommandsTest, PasswordIsReadFromInputAndKeptOnlyAsAHash) {
    EXPECT_EQ(run(WebCommandLine::Command::Password, {}, "short\n").status, 1);
    EXPECT_EQ(run(WebCommandLine::Command::Password, {}, "").status, 1);
    EXPECT_TRUE(saved().passwordHash.empty());

    ASSERT_EQ(run(WebCommandLine::Command::Password, {}, "a long password\r\nignored\n").status, 0);
    const std::string hash = saved().passwordHash;
    EXPECT_TRUE(passwordHash::check(hash, "a long password"));
    EXPECT_EQ(fileText().find("a long password"), std::string::npos);
}

TEST_F(WebCommandsTest, TokenIsShownOnceAndKeptAsItsSha256) {
    const Ran made = run(WebCommandLine::Command::Token, "panel");
    ASSERT_EQ(made.status, 0) << made.err;
    const std::string token = made.out.substr(0, made.out.find('\n'));
    EXPECT_EQ(made.out, token + "\n") << "the token alone, for a script";
    EXPECT_EQ(fileText().find(token), std::string::npos);
    ASSERT_NE(saved().token("panel"), nullptr);
    EXPECT_EQ(saved().token("panel")->sha256, secrets::sha256Hex(token));

    const Ran again = run(WebCommandLine::Command::Token, "panel");
    EXPECT_EQ(again.status, 1);
    EXPECT_TRUE(again.out.empty());
    EXPECT_EQ(run(WebCommandLine::Command::Token, "two words").status, 1);
    EXPECT_EQ(saved().tokens.size(), 1U);
}

TEST_F(WebCommandsTest, RevokeRemovesOnlyThatToken) {
    run(WebCommandLine::Command::Token, "a");
    run(WebCommandLine::Command::Token, "b");
    EXPECT_EQ(run(WebCommandLine::Command::Revoke, "c").status, 1);
    EXPECT_EQ(run(WebCommandLine::Command::Revoke, "a").status, 0);
    const WebSettings settings = saved();
    ASSERT_EQ(settings.tokens.size(), 1U);
    EXPECT_EQ(settings.tokens[0].name, "b");
    EXPECT_EQ(run(WebCommandLine::Command::Revoke, "a").status, 1);
}

struct InfoCase {
    const char* name;
    bool web;
    std::optional<int> port;
    bool plainHttp;
    std::vector<std::string> shown;
    std::vector<std::string> notShown;
};

class WebInfoTest : public WebCommandsTest, public ::testing::WithParamInterface<InfoCase> {};

TEST_P(WebInfoTest, SaysWhatThisRunWouldServe) {
    const InfoCase& row = GetParam();
    run(WebCommandLine::Command::Token, "panel");
    WebCommandLine line;
    line.command = WebCommandLine::Command::Info;
    line.web = row.web;
    line.port = row.port;
    line.plainHttp = row.plainHttp;
    const Ran info = run(line);
    ASSERT_EQ(info.status, 0) << info.err;
    for (const std::string& text : row.shown) {
        EXPECT_NE(info.out.find(text), std::string::npos) << row.name << ": " << text;
    }
    for (const std::string& text : row.notShown) {
        EXPECT_EQ(info.out.find(text), std::string::npos) << row.name << ": " << text;
    }
}

INSTANTIATE_TEST_SUITE_P(WebLines, WebInfoTest,
                         ::testing::Values(InfoCase{"saved",
                                                    false,
                                                    std::nullopt,
                                                    false,
                                                    {"web API:     off", ":8443/", "SHA-256:     ",
                                                     "self-signed", "password:    not set",
                                                     "tokens:      panel ("},
                                                    {"http://"}},
                                           InfoCase{"--web --web-port 9000",
                                                    true,
                                                    9000,
                                                    false,
                                                    {"web API:     on", "https://", ":9000/"},
                                                    {":8443/"}},
                                           InfoCase{"--web-http",
                                                    true,
                                                    std::nullopt,
                                                    true,
                                                    {"http://", "plain HTTP"},
                                                    {"SHA-256", "https://"}}));

TEST_F(WebCommandsTest, InfoShowsTheSameFingerprintEachTime) {
    const auto fingerprint = [this] {
        const std::string out = run(WebCommandLine::Command::Info).out;
        const std::size_t at = out.find("SHA-256:");
        return out.substr(at, out.find('\n', at) - at);
    };
    const std::string first = fingerprint();
    EXPECT_EQ(first.size(), std::string("SHA-256:     ").size() + 95U);
    EXPECT_EQ(fingerprint(), first);
}

} // namespace
} // namespace lm
