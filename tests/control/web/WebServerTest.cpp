#include "TestServer.h"

#include <arpa/inet.h>
#include <array>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lm {
namespace {

using namespace std::chrono_literals;
using test::PinnedClient;
using test::StreamReader;
using test::TestServer;

std::string codeOf(const httplib::Result& result) {
    const nlohmann::json body = nlohmann::json::parse(result->body, nullptr, false);
    return body.is_object() && body.contains("error") ? body["error"]["code"].get<std::string>()
                                                      : std::string();
}

// The session cookie's "name=value", from a log-in's Set-Cookie.
std::string cookiePair(const httplib::Result& result) {
    const std::string line = result->get_header_value("Set-Cookie");
    return line.substr(0, line.find(';'));
}

template <typename Client> httplib::Result logIn(Client& client, const std::string& password) {
    return client.Post("/api/login", nlohmann::json{{"password", password}}.dump(),
                       "application/json");
}

enum class Credential { None, Token, UnknownToken, RevokedToken, Session, EndedSession };

struct AccessCase {
    const char* name;
    const char* method;
    std::string path;
    Credential credential;
    std::string origin; // "own": the server's own; empty: none
    std::string fetchSite;
    std::string contentType;
    std::string body;
    int headerPadding; // extra header lines
    int status;
    std::string code; // empty for a success
};

class WebAccessTest : public ::testing::TestWithParam<AccessCase> {
protected:
    static void SetUpTestSuite() {
        server = std::make_unique<TestServer>();
        PinnedClient client(server->port());
        session = cookiePair(logIn(client.http(), TestServer::password));
        const auto ended = logIn(client.http(), TestServer::password);
        endedSession = cookiePair(ended);
        client.http().Post("/api/logout", {{"Cookie", endedSession}}, "", "application/json");
        revokedToken = server->command(WebCommandLine::Command::Token, "old");
        revokedToken = revokedToken.substr(0, revokedToken.find('\n'));
        server->command(WebCommandLine::Command::Revoke, "old");
    }
    static void TearDownTestSuite() { server.reset(); }

    static std::unique_ptr<TestServer> server;
    static std::string session;
    static std::string endedSession;
    static std::string revokedToken;
};

std::unique_ptr<TestServer> WebAccessTest::server;
std::string WebAccessTest::session;
std::string WebAccessTest::endedSession;
std::string WebAccessTest::revokedToken;

TEST_P(WebAccessTest, AnswersAsTheRulesSay) {
    const AccessCase& row = GetParam();
    httplib::Request request;
    request.method = row.method;
    request.path = row.path;
    switch (row.credential) {
    case Credential::None:
        break;
    case Credential::Token:
        request.set_header("Authorization", "Bearer " + server->token);
        break;
    case Credential::UnknownToken:
        request.set_header("Authorization", "Bearer lmt_" + std::string(64, '0'));
        break;
    case Credential::RevokedToken:
        request.set_header("Authorization", "Bearer " + revokedToken);
        break;
    case Credential::Session:
        request.set_header("Cookie", session);
        break;
    case Credential::EndedSession:
        request.set_header("Cookie", endedSession);
        break;
    }
    if (!row.origin.empty()) {
        request.set_header("Origin", row.origin == "own" ? server->origin() : row.origin);
    }
    if (!row.fetchSite.empty()) {
        request.set_header("Sec-Fetch-Site", row.fetchSite);
    }
    if (!row.contentType.empty()) {
        request.set_header("Content-Type", row.contentType);
    }
    for (int i = 0; i < row.headerPadding; ++i) {
        request.set_header("X-Pad-" + std::to_string(i), "x");
    }
    request.body = row.body;
    PinnedClient client(server->port(), server->fingerprint);
    const httplib::Result result = client.http().send(request);
    ASSERT_TRUE(result) << row.name << ": " << httplib::to_string(result.error());
    EXPECT_EQ(result->status, row.status) << row.name << ": " << result->body;
    EXPECT_EQ(codeOf(result), row.code) << row.name;
    EXPECT_EQ(result->get_header_value("Content-Type"), "application/json") << row.name;
}

std::string echo(const std::string& text) {
    return nlohmann::json{{"text", text}}.dump();
}

// {"text":"xx…"} of exactly n bytes.
std::string echoOfSize(std::size_t n) {
    return echo(std::string(n - echo("").size(), 'x'));
}

const std::string json = "application/json";
constexpr std::size_t megabyte = 1024 * 1024;

INSTANTIATE_TEST_SUITE_P(
    WebRules, WebAccessTest,
    ::testing::Values(
        AccessCase{"no credentials", "GET", "/api/ping", Credential::None, "", "", "", "", 0, 401,
                   "not_logged_in"},
        AccessCase{"token", "GET", "/api/ping", Credential::Token, "", "", "", "", 0, 200, ""},
        AccessCase{"unknown token", "GET", "/api/ping", Credential::UnknownToken, "", "", "", "", 0,
                   401, "not_logged_in"},
        AccessCase{"revoked token", "GET", "/api/ping", Credential::RevokedToken, "", "", "", "", 0,
                   401, "not_logged_in"},
        AccessCase{"session", "GET", "/api/ping", Credential::Session, "", "", "", "", 0, 200, ""},
        AccessCase{"logged-out session", "GET", "/api/ping", Credential::EndedSession, "", "", "",
                   "", 0, 401, "not_logged_in"},
        AccessCase{"post, own origin", "POST", "/api/echo", Credential::Session, "own",
                   "same-origin", json, echo("hi"), 0, 200, ""},
        AccessCase{"post from a script", "POST", "/api/echo", Credential::Token, "", "", json,
                   echo("hi"), 0, 200, ""},
        AccessCase{"post, foreign origin", "POST", "/api/echo", Credential::Session,
                   "https://evil.example", "cross-site", json, echo("hi"), 0, 403,
                   "foreign_origin"},
        AccessCase{"post, foreign origin with a token", "POST", "/api/echo", Credential::Token,
                   "https://evil.example", "", json, echo("hi"), 0, 403, "foreign_origin"},
        AccessCase{"post, origin http of the same host", "POST", "/api/echo", Credential::Token,
                   "http://127.0.0.1", "", json, echo("hi"), 0, 403, "foreign_origin"},
        AccessCase{"post, cross-site without origin", "POST", "/api/echo", Credential::Session, "",
                   "cross-site", json, echo("hi"), 0, 403, "foreign_origin"},
        AccessCase{"JSON of 1 MB", "POST", "/api/echo", Credential::Token, "", "", json,
                   echoOfSize(megabyte), 0, 200, ""},
        AccessCase{"JSON of 1 MB and a byte", "POST", "/api/echo", Credential::Token, "", "", json,
                   echoOfSize(megabyte + 1), 0, 413, "too_large"},
        AccessCase{"stranger's large body", "POST", "/api/echo", Credential::None, "", "", json,
                   echoOfSize(2 * megabyte), 0, 401, "not_logged_in"},
        AccessCase{"malformed JSON", "POST", "/api/echo", Credential::Token, "", "", json,
                   "{\"text\":", 0, 400, "bad_json"},
        AccessCase{"wrong type", "POST", "/api/echo", Credential::Token, "", "", json,
                   R"({"text":5})", 0, 400, "bad_value"},
        AccessCase{"form instead of JSON", "POST", "/api/echo", Credential::Token, "", "",
                   "application/x-www-form-urlencoded", "text=hi", 0, 415, "wrong_content_type"},
        AccessCase{"no such route", "GET", "/api/nothing", Credential::Token, "", "", "", "", 0,
                   404, "not_found"},
        AccessCase{"wrong method", "DELETE", "/api/ping", Credential::Token, "", "", "", "", 0, 405,
                   "wrong_method"},
        AccessCase{"too many header lines", "GET", "/api/ping", Credential::Token, "", "", "", "",
                   150, 431, "headers_too_large"}));

TEST(WebLimitTest, BodyLargerThanAnyRouteTakesIsRefusedBeforeItIsSent) {
    TestServer server(true);
    const int socket = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(server.port()));
    ::inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);
    ASSERT_EQ(::connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    const std::string head = "POST /api/echo HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                             "Authorization: Bearer " +
                             server.token +
                             "\r\nContent-Type: application/json\r\n"
                             "Content-Length: 100000000\r\n\r\n";
    ASSERT_EQ(::send(socket, head.data(), head.size(), 0), static_cast<ssize_t>(head.size()));
    timeval wait{2, 0};
    ::setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    // The whole answer: the server closes the connection after it.
    std::string answer;
    std::array<char, 4096> buffer{};
    for (ssize_t got; (got = ::recv(socket, buffer.data(), buffer.size(), 0)) > 0;) {
        answer.append(buffer.data(), static_cast<std::size_t>(got));
    }
    ::close(socket);
    EXPECT_EQ(answer.rfind("HTTP/1.1 413", 0), 0U) << answer;
    EXPECT_NE(answer.find("too_large"), std::string::npos) << answer;
}

TEST(WebLoginTest, SixthWrongPasswordGets429AndOtherAddressesStillLogIn) {
    TestServer server;
    PinnedClient client(server.port(), server.fingerprint);
    for (int attempt = 1; attempt <= 5; ++attempt) {
        const auto result = logIn(client.http(), "wrong " + std::to_string(attempt));
        ASSERT_TRUE(result);
        EXPECT_EQ(result->status, 401) << attempt;
        EXPECT_EQ(codeOf(result), "wrong_password") << attempt;
    }
    // Even the right password, now.
    const auto locked = logIn(client.http(), TestServer::password);
    ASSERT_TRUE(locked);
    EXPECT_EQ(locked->status, 429);
    EXPECT_EQ(codeOf(locked), "too_many_attempts");
    EXPECT_GT(std::stoi(locked->get_header_value("Retry-After")), 0);

    PinnedClient elsewhere(server.port(), server.fingerprint, "127.0.0.2");
    const auto other = logIn(elsewhere.http(), TestServer::password);
    ASSERT_TRUE(other);
    EXPECT_EQ(other->status, 200);
}

TEST(WebLoginTest, SessionCookieIsGuardedAndEndsWithLogOutOrANewPassword) {
    TestServer server;
    PinnedClient client(server.port(), server.fingerprint);
    const auto loggedIn = logIn(client.http(), TestServer::password);
    ASSERT_TRUE(loggedIn);
    ASSERT_EQ(loggedIn->status, 200);
    const std::string cookie = loggedIn->get_header_value("Set-Cookie");
    for (const char* attribute :
         {"__Host-lmsign=", "; HttpOnly", "; SameSite=Strict", "; Secure", "; Path=/"}) {
        EXPECT_NE(cookie.find(attribute), std::string::npos) << attribute << " in " << cookie;
    }
    const httplib::Headers withCookie{{"Cookie", cookiePair(loggedIn)}};
    EXPECT_EQ(client.http().Get("/api/session", withCookie)->status, 200);
    const auto out = client.http().Post("/api/logout", withCookie, "", "application/json");
    ASSERT_TRUE(out);
    EXPECT_EQ(out->status, 204);
    EXPECT_NE(out->get_header_value("Set-Cookie").find("Max-Age=0"), std::string::npos);
    EXPECT_EQ(client.http().Get("/api/session", withCookie)->status, 401);

    const auto again = logIn(client.http(), TestServer::password);
    const httplib::Headers second{{"Cookie", cookiePair(again)}};
    ASSERT_EQ(client.http().Get("/api/session", second)->status, 200);
    ASSERT_FALSE(
        server.command(WebCommandLine::Command::Password, {}, "another password\n").empty());
    EXPECT_EQ(client.http().Get("/api/session", second)->status, 401);
    EXPECT_EQ(logIn(client.http(), "another password")->status, 200);
}

TEST(WebLoginTest, ABrowserStaysLoggedInAcrossARestartOfTheProgram) {
    TestServer server(true);
    httplib::Client client("127.0.0.1", server.port());
    const auto kept = logIn(client, TestServer::password);
    const auto ended = logIn(client, TestServer::password);
    ASSERT_TRUE(kept && ended);
    const httplib::Headers keptCookie{{"Cookie", cookiePair(kept)}};
    const httplib::Headers endedCookie{{"Cookie", cookiePair(ended)}};
    ASSERT_EQ(client.Post("/api/logout", endedCookie, "", "application/json")->status, 204);
    server.server.stop();
    struct stat saved {};
    ASSERT_EQ(::stat((server.places.configFolder / "sessions").c_str(), &saved), 0);
    EXPECT_EQ(saved.st_mode & 0777U, 0600U);

    // The program again, on the same folders.
    WebServer again(WebRoutes{},
                    WebServer::Services{server.store, server.log, server.desk.poster()});
    WebSettings settings = *server.store->current();
    settings.address = "127.0.0.1";
    settings.plainHttp = true;
    WebServer::Options options = WebServer::Options::from(settings, {});
    options.port = 0;
    std::string why;
    ASSERT_TRUE(again.start(options, why)) << why;
    httplib::Client browser("127.0.0.1", again.port());
    EXPECT_EQ(browser.Get("/api/session", keptCookie)->status, 200);
    EXPECT_EQ(browser.Get("/api/session", endedCookie)->status, 401) << "logged out stays out";
    again.stop();
}

TEST(WebLoginTest, EveryChangeAndLogInIsLoggedWithWhoAndWhere) {
    TestServer server;
    PinnedClient client(server.port(), server.fingerprint);
    logIn(client.http(), "wrong password");
    client.http().Post("/api/echo", {{"Authorization", "Bearer " + server.token}}, echo("hello"),
                       "application/json");
    client.http().Get("/api/ping", {{"Authorization", "Bearer " + server.token}});
    std::ifstream in(server.log->file());
    std::vector<nlohmann::json> lines;
    for (std::string line; std::getline(in, line);) {
        lines.push_back(nlohmann::json::parse(line));
    }
    ASSERT_EQ(lines.size(), 2U) << "a refused log-in and the echo; a GET changes nothing";
    EXPECT_EQ(lines[0]["what"], "log-in refused");
    EXPECT_EQ(lines[0]["status"], 401);
    EXPECT_EQ(lines[1]["who"], "token script");
    EXPECT_EQ(lines[1]["what"], "echo 5 bytes");
    EXPECT_EQ(lines[1]["address"], "127.0.0.1");
    EXPECT_EQ(lines[1]["status"], 200);
}

TEST(WebTlsTest, ServedCertificateIsTheOneWebInfoReportsAndPinningHolds) {
    TestServer server;
    ASSERT_EQ(server.fingerprint.size(), 95U);
    PinnedClient open(server.port());
    ASSERT_TRUE(open.http().Get("/api/session"));
    EXPECT_EQ(open.served(), server.fingerprint);

    std::string other = server.fingerprint;
    other[0] = other[0] == 'A' ? 'B' : 'A';
    PinnedClient pinnedElsewhere(server.port(), other);
    EXPECT_FALSE(pinnedElsewhere.http().Get("/api/session"));
}

struct SchemeCase {
    const char* name;
    bool plainServer;
    bool plainClient;
    bool answered;
};

class WebSchemeTest : public ::testing::TestWithParam<SchemeCase> {};

TEST_P(WebSchemeTest, PlainHttpOnlyWhenTurnedOn) {
    const SchemeCase& row = GetParam();
    TestServer server(row.plainServer);
    httplib::Result result = [&] {
        if (row.plainClient) {
            httplib::Client client("127.0.0.1", server.port());
            client.set_read_timeout(2s);
            return logIn(client, TestServer::password);
        }
        PinnedClient client(server.port());
        client.http().set_read_timeout(2s);
        return logIn(client.http(), TestServer::password);
    }();
    EXPECT_EQ(static_cast<bool>(result) && result->status == 200, row.answered) << row.name;
    if (result && result->status == 200) {
        const std::string cookie = result->get_header_value("Set-Cookie");
        EXPECT_EQ(cookie.find("Secure") != std::string::npos, !row.plainServer) << cookie;
    }
}

INSTANTIATE_TEST_SUITE_P(WebSchemes, WebSchemeTest,
                         ::testing::Values(SchemeCase{"HTTPS", false, false, true},
                                           SchemeCase{"plain to HTTPS", false, true, false},
                                           SchemeCase{"plain, turned on", true, true, true},
                                           SchemeCase{"HTTPS to plain", true, false, false}));

TEST(WebStreamTest, ClientSeesAPublishedChangeWithin100Ms) {
    TestServer server;
    StreamReader reader(server.port(), server.token);
    ASSERT_TRUE(reader.waitFor(": open", 2s)) << reader.status();
    EXPECT_EQ(reader.status(), 200);
    // The best of five, so that a busy machine's one slow turn does not count; a stream that
    // buffers, or sends only with its heartbeat (200 ms here), is slow every time.
    auto best = std::chrono::steady_clock::duration::max();
    for (int round = 0; round < 5; ++round) {
        const auto sent = std::chrono::steady_clock::now();
        server.desk.poster()([&, round] {
            server.server.events().publish("list", {{"rows", round}});
        });
        ASSERT_TRUE(reader.waitFor("data: {\"rows\":" + std::to_string(round) + "}\n\n", 2s))
            << reader.text();
        best = std::min(best, std::chrono::steady_clock::now() - sent);
    }
    EXPECT_LT(best, 100ms);
    EXPECT_NE(reader.text().find("event: list\n"), std::string::npos);
}

TEST(WebStreamTest, StreamBeyondTheCapGets503AndStopReturnsAtOnce) {
    WebServer::Limits limits = TestServer::quickLimits();
    ASSERT_EQ(limits.streams, 50U);
    TestServer server(false, limits);
    std::vector<std::unique_ptr<StreamReader>> readers;
    for (std::size_t i = 0; i < limits.streams; ++i) {
        readers.push_back(std::make_unique<StreamReader>(server.port(), server.token));
    }
    for (const auto& reader : readers) {
        ASSERT_TRUE(reader->waitFor(": open", 10s));
    }
    EXPECT_EQ(server.server.events().openStreams(), limits.streams);
    StreamReader over(server.port(), server.token);
    ASSERT_TRUE(over.waitEnd(5s));
    EXPECT_EQ(over.status(), 503);
    EXPECT_NE(over.text().find("streams_full"), std::string::npos);
    // Commands still get a thread.
    PinnedClient client(server.port());
    const auto ping = client.http().Get("/api/ping", {{"Authorization", "Bearer " + server.token}});
    ASSERT_TRUE(ping);
    EXPECT_EQ(ping->status, 200);

    const auto before = std::chrono::steady_clock::now();
    server.server.stop();
    EXPECT_LT(std::chrono::steady_clock::now() - before, 1s);
    for (const auto& reader : readers) {
        EXPECT_TRUE(reader->waitEnd(1s));
    }
}

TEST(WebStreamTest, ClientThatHangsUpFreesItsPlaceAtTheNextHeartbeat) {
    TestServer server;
    {
        StreamReader reader(server.port(), server.token);
        ASSERT_TRUE(reader.waitFor(": open", 2s));
        EXPECT_EQ(server.server.events().openStreams(), 1U);
    }
    // The server finds out when it writes to the closed connection (without dying of
    // SIGPIPE), at the latest with the heartbeat of 200 ms.
    const auto deadline = std::chrono::steady_clock::now() + 2s;
    while (server.server.events().openStreams() > 0 &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(20ms);
    }
    EXPECT_EQ(server.server.events().openStreams(), 0U);
}

TEST(WebStopTest, StopReturnsWithinASecondWhateverTheClientsDo) {
    // Longer than the second: stop() must end the connections, not give up on them.
    WebServer::Limits limits = TestServer::quickLimits();
    limits.stopWait = 3s;
    TestServer server(false, limits);
    StreamReader stream(server.port(), server.token);
    ASSERT_TRUE(stream.waitFor(": open", 2s));
    // A browser's idle keep-alive connection.
    PinnedClient idle(server.port());
    idle.http().set_keep_alive(true);
    ASSERT_EQ(idle.http().Get("/api/ping", {{"Authorization", "Bearer " + server.token}})->status,
              200);
    // A client that connects and says nothing, not even its TLS hello.
    const int silent = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(server.port()));
    ::inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);
    ASSERT_EQ(::connect(silent, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    std::this_thread::sleep_for(100ms);

    const auto before = std::chrono::steady_clock::now();
    server.server.stop();
    EXPECT_LT(std::chrono::steady_clock::now() - before, 1s);
    EXPECT_TRUE(stream.waitEnd(1s));
    EXPECT_FALSE(server.server.running());
    ::close(silent);
}

TEST(WebDeskTest, CommandTheDeskDoesNotTakeUpGets503AndNeverRuns) {
    TestServer server;
    server.desk.hold();
    PinnedClient client(server.port());
    const auto before = std::chrono::steady_clock::now();
    const auto result =
        client.http().Post("/api/echo", {{"Authorization", "Bearer " + server.token}}, echo("late"),
                           "application/json");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 503);
    EXPECT_EQ(codeOf(result), "unavailable");
    EXPECT_LT(std::chrono::steady_clock::now() - before, 2s);
    server.desk.release();
    const auto after =
        client.http().Get("/api/ping", {{"Authorization", "Bearer " + server.token}});
    ASSERT_TRUE(after);
    EXPECT_EQ(after->status, 200);
}

} // namespace
} // namespace lm
