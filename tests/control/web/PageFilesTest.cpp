// The browser page's files as the server gives them: to anyone, each with its type, the page's
// content policy and a tag the browser must check; every file the page names is served, and
// nothing it names comes from elsewhere.

#include "PageAssets.h"
#include "PageWords.h"
#include "TestServer.h"

#include <algorithm>
#include <cctype>
#include <gtest/gtest.h>
#include <regex>
#include <set>
#include <sstream>

namespace lm {
namespace {

using test::PinnedClient;
using test::TestServer;

std::vector<PageFile> servedFiles() {
    std::vector<PageFile> files = pageAssets();
    files.push_back(pageWords());
    return files;
}

const PageFile& fileAt(const std::vector<PageFile>& files, const std::string& path) {
    static const PageFile none;
    for (const PageFile& file : files) {
        if (file.path == path) {
            return file;
        }
    }
    return none;
}

class PageFilesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        server = std::make_unique<TestServer>(
            [](const std::shared_ptr<WebSettingsStore>&) { return pageRoutes(servedFiles()); },
            false, TestServer::quickLimits());
    }
    static void TearDownTestSuite() { server.reset(); }

    static std::unique_ptr<TestServer> server;
};

std::unique_ptr<TestServer> PageFilesTest::server;

struct FileCase {
    const char* path;
    const char* contentType;
};

class PageFileTypeTest : public PageFilesTest, public ::testing::WithParamInterface<FileCase> {};

// Without a log-in, since the log-in form is one of them; with the strict headers, once each
// (the server's own "Cache-Control: no-store" would otherwise stand beside "no-cache").
TEST_P(PageFileTypeTest, IsServedToAnyoneWithItsTypeAndTheStrictHeaders) {
    const FileCase& row = GetParam();
    PinnedClient client(server->port());
    const auto result = client.http().Get(row.path);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 200);
    EXPECT_EQ(result->get_header_value("Content-Type"), row.contentType);
    EXPECT_EQ(result->body, fileAt(servedFiles(), row.path).bytes);
    EXPECT_EQ(result->get_header_value("Content-Security-Policy"), pagePolicy);
    EXPECT_EQ(result->get_header_value("X-Content-Type-Options"), "nosniff");
    EXPECT_EQ(result->get_header_value_count("Cache-Control"), 1U);
    EXPECT_EQ(result->get_header_value("Cache-Control"), "no-cache");
    EXPECT_EQ(result->get_header_value_count("ETag"), 1U);
}

INSTANTIATE_TEST_SUITE_P(EveryFile, PageFileTypeTest,
                         ::testing::Values(FileCase{"/", "text/html; charset=utf-8"},
                                           FileCase{"/page.js", "text/javascript; charset=utf-8"},
                                           FileCase{"/page.css", "text/css; charset=utf-8"},
                                           FileCase{"/icon.svg", "image/svg+xml"},
                                           FileCase{"/words.json", "application/json"}),
                         [](const auto& row) {
                             std::string name = row.param.path;
                             std::replace_if(
                                 name.begin(), name.end(), [](char c) { return !std::isalnum(c); },
                                 '_');
                             return name == "_" ? std::string("page") : name;
                         });

struct TagCase {
    const char* name;
    std::string ifNoneMatch; // "tag": the file's own ETag
    int status;
};

class PageTagTest : public PageFilesTest, public ::testing::WithParamInterface<TagCase> {};

// A browser's copy is used again only while it is the file of this build.
TEST_P(PageTagTest, AnswersTheBrowsersCheckOfItsCopy) {
    const TagCase& row = GetParam();
    PinnedClient client(server->port());
    const std::string tag = client.http().Get("/page.js")->get_header_value("ETag");
    ASSERT_FALSE(tag.empty());
    const std::string asked = row.ifNoneMatch == "tag" ? tag : row.ifNoneMatch;
    const auto result = client.http().Get("/page.js", {{"If-None-Match", asked}});
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, row.status);
    EXPECT_EQ(result->body.empty(), row.status == 304);
    EXPECT_EQ(result->get_header_value("ETag"), tag);
    EXPECT_EQ(result->get_header_value("Cache-Control"), "no-cache");
}

INSTANTIATE_TEST_SUITE_P(Tags, PageTagTest,
                         ::testing::Values(TagCase{"itsOwn", "tag", 304},
                                           TagCase{"anotherBuilds",
                                                   "\"0123456789abcdef0123456789abcdef\"", 200},
                                           TagCase{"anyCopy", "*", 304}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(PageFileTags, DifferWhenTheBytesDo) {
    const WebRoutes routes = pageRoutes({{"/a.js", "text/javascript", "one"},
                                         {"/b.js", "text/javascript", "two"},
                                         {"/c.js", "text/javascript", "one"}});
    const auto tagOf = [&](std::size_t i) {
        for (const auto& [name, value] : routes.at(i).handler(ApiRequest{}).headers) {
            if (name == "ETag") {
                return value;
            }
        }
        return std::string();
    };
    EXPECT_NE(tagOf(0), tagOf(1));
    EXPECT_EQ(tagOf(0), tagOf(2));
}

TEST_F(PageFilesTest, APathOfNoFileIsNotFound) {
    PinnedClient client(server->port());
    for (const char* path : {"/index.html", "/page", "/page.jsx", "/../page.js"}) {
        const auto result = client.http().Get(path);
        ASSERT_TRUE(result) << path;
        EXPECT_EQ(result->status, 404) << path;
    }
}

// Every source of the policy is this server itself, or nothing.
TEST(PagePolicy, AllowsNothingButThisServer) {
    const std::string policy = pagePolicy;
    std::set<std::string> sources;
    const std::regex directive(R"(([a-z-]+)((?: [^; ]+)+))");
    for (auto it = std::sregex_iterator(policy.begin(), policy.end(), directive);
         it != std::sregex_iterator(); ++it) {
        std::istringstream words((*it)[2].str());
        for (std::string word; words >> word;) {
            sources.insert(word);
        }
    }
    EXPECT_EQ(sources, (std::set<std::string>{"'self'", "'none'"}));
    EXPECT_NE(policy.find("default-src 'self'"), std::string::npos);
    EXPECT_NE(policy.find("frame-ancestors 'none'"), std::string::npos);
}

// What the page loads by itself: every file it names is one the server gives, and none is
// named by another address.
TEST(PageReferences, AreAllServedHere) {
    const std::vector<PageFile> files = servedFiles();
    std::set<std::string> served;
    for (const PageFile& file : files) {
        served.insert(file.path);
    }
    const std::string html = fileAt(files, "/").bytes;
    const std::string script = fileAt(files, "/page.js").bytes;
    ASSERT_FALSE(html.empty());
    ASSERT_FALSE(script.empty());
    std::vector<std::string> named;
    const std::regex attribute(R"re((?:src|href)="([^"]*)")re");
    for (auto it = std::sregex_iterator(html.begin(), html.end(), attribute);
         it != std::sregex_iterator(); ++it) {
        named.push_back((*it)[1].str());
    }
    const std::regex fetched(R"re(fetch\('([^']*)')re");
    for (auto it = std::sregex_iterator(script.begin(), script.end(), fetched);
         it != std::sregex_iterator(); ++it) {
        if ((*it)[1].str().rfind("/api/", 0) != 0) {
            named.push_back((*it)[1].str());
        }
    }
    EXPECT_GE(named.size(), 4U);
    for (const std::string& path : named) {
        EXPECT_TRUE(served.count(path) == 1) << path << " is named by the page, not served";
    }
    // Nor by the style sheet, nor by an address in the text.
    EXPECT_EQ(fileAt(files, "/page.css").bytes.find("url("), std::string::npos);
    for (const std::string& text : {html, script, fileAt(files, "/page.css").bytes}) {
        EXPECT_EQ(text.find("http:"), std::string::npos);
        EXPECT_EQ(text.find("https:"), std::string::npos);
    }
}

} // namespace
} // namespace lm
