#include "TempDir.h"
#include "WebPlaces.h"
#include "WebSettingsStore.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace lm {
namespace {

unsigned modeOf(const std::filesystem::path& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 ? status.st_mode & 07777U : 0U;
}

void writeText(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path) << text;
}

WebSettings sample() {
    WebSettings settings;
    settings.enabled = true;
    settings.address = "127.0.0.1";
    settings.port = 9443;
    settings.plainHttp = true;
    settings.certificateFile = "/etc/ssl/sign.pem";
    settings.privateKeyFile = "/etc/ssl/sign.key";
    settings.showFolder = "/srv/shows";
    settings.passwordHash = "$argon2id$v=19$m=65536,t=2,p=1$salt$hash";
    settings.tokens = {{"panel", std::string(64, 'a'), "2024-01-02T03:04:05.000Z"},
                       {"ci.bot-2", std::string(64, '0'), "2024-02-03T04:05:06.000Z"}};
    return settings;
}

TEST(WebSettingsTest, EveryFieldSurvivesTheFile) {
    test::TempDir dir;
    WebSettingsStore store(dir.path() / "config");
    std::string why;
    ASSERT_TRUE(store.update(
        [](WebSettings& settings, std::string&) {
            settings = sample();
            return true;
        },
        why))
        << why;
    const std::optional<WebSettings> read = WebSettingsStore(dir.path() / "config").load(why);
    ASSERT_TRUE(read) << why;
    EXPECT_EQ(*read, sample());
}

TEST(WebSettingsTest, FileAndFolderAreTheUsersAlone) {
    test::TempDir dir;
    const auto folder = dir.path() / "config" / "lmsign" / "key";
    WebSettingsStore store(folder);
    const mode_t old = ::umask(0);
    std::string why;
    const bool updated = store.update([](WebSettings&, std::string&) { return true; }, why);
    ::umask(old);
    ASSERT_TRUE(updated) << why;
    EXPECT_EQ(modeOf(store.file()), 0600U);
    EXPECT_EQ(modeOf(folder), 0700U);
}

struct DamageCase {
    const char* name;
    std::string text;
};

class WebSettingsDamageTest : public ::testing::TestWithParam<DamageCase> {};

TEST_P(WebSettingsDamageTest, DamagedFileIsRefusedAndLetsNobodyIn) {
    test::TempDir dir;
    WebSettingsStore store(dir.path());
    std::string why;
    ASSERT_TRUE(store.update(
        [](WebSettings& settings, std::string&) {
            settings = sample();
            return true;
        },
        why));
    ASSERT_FALSE(store.current()->tokens.empty());
    writeText(store.file(), GetParam().text);
    EXPECT_FALSE(store.load(why)) << GetParam().name;
    // A running program that reads it now has no password and no token left.
    const auto current = store.current();
    EXPECT_TRUE(current->tokens.empty()) << GetParam().name;
    EXPECT_TRUE(current->passwordHash.empty()) << GetParam().name;
    EXPECT_FALSE(store.problem().empty()) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    WebDamage, WebSettingsDamageTest,
    ::testing::Values(DamageCase{"not JSON", "{\"port\": "}, DamageCase{"a list", "[]"},
                      DamageCase{"port zero", R"({"port": 0})"},
                      DamageCase{"port a fraction", R"({"port": 8443.5})"},
                      DamageCase{"port a string", R"({"port": "8443"})"},
                      DamageCase{"enabled a string", R"({"enabled": "yes"})"},
                      DamageCase{"show folder a number", R"({"showFolder": 7})"},
                      DamageCase{"tokens an object", R"({"tokens": {}})"},
                      DamageCase{"token hash short",
                                 R"({"tokens": [{"name": "a", "sha256": "abc"}]})"},
                      DamageCase{"token name blank", R"({"tokens": [{"name": "a b", "sha256": ")" +
                                                         std::string(64, 'a') + R"("}]})"}));

TEST(WebSettingsTest, RunningReaderSeesAnotherProcessesChange) {
    test::TempDir dir;
    WebSettingsStore running(dir.path());
    WebSettingsStore command(dir.path()); // as --web-revoke would, beside it
    std::string why;
    ASSERT_TRUE(command.update(
        [](WebSettings& settings, std::string&) {
            settings.tokens.push_back({"panel", std::string(64, 'b'), ""});
            return true;
        },
        why));
    ASSERT_EQ(running.current()->tokens.size(), 1U);
    ASSERT_TRUE(command.update(
        [](WebSettings& settings, std::string&) {
            settings.tokens.clear();
            return true;
        },
        why));
    EXPECT_TRUE(running.current()->tokens.empty());
}

TEST(WebSettingsTest, RefusedChangeLeavesTheFileAlone) {
    test::TempDir dir;
    WebSettingsStore store(dir.path());
    std::string why;
    ASSERT_TRUE(store.update(
        [](WebSettings& settings, std::string&) {
            settings.port = 9000;
            return true;
        },
        why));
    EXPECT_FALSE(store.update(
        [](WebSettings& settings, std::string& refusal) {
            settings.port = 9001;
            refusal = "no";
            return false;
        },
        why));
    EXPECT_EQ(why, "no");
    EXPECT_EQ(store.load(why)->port, 9000);
}

TEST(WebPlacesTest, EachWorkingFolderHasItsOwnSettingsOutsideIt) {
    const WebPlaces a = WebPlaces::forWorkDir("/home/u/.config", "/home/u/.local/state", "/srv/a");
    const WebPlaces b = WebPlaces::forWorkDir("/home/u/.config", "/home/u/.local/state", "/srv/b");
    EXPECT_NE(a.configFolder, b.configFolder);
    EXPECT_EQ(a.configFolder.parent_path(), std::filesystem::path("/home/u/.config/lmsign"));
    EXPECT_EQ(a.changeLog.parent_path().parent_path(),
              std::filesystem::path("/home/u/.local/state/lmsign"));
}

TEST(WebTokenNameTest, OnlyNamesThatReadSafely) {
    for (const std::string& name : {std::string("a"), std::string("ci-bot"),
                                    std::string("panel_2.east"), std::string(64, 'x')}) {
        EXPECT_TRUE(isTokenName(name)) << name;
    }
    for (const std::string& name : {std::string(), std::string(65, 'x'), std::string("a b"),
                                    std::string("a\nb"), std::string("ä"), std::string("a/b")}) {
        EXPECT_FALSE(isTokenName(name)) << name;
    }
}

} // namespace
} // namespace lm
