#pragma once

#include "DeskThread.h"
#include "TempDir.h"
#include "WebChangeLog.h"
#include "WebCommands.h"
#include "WebServer.h"
#include "WebSettingsStore.h"

#include <condition_variable>
#include <functional>
#include <httplib.h>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace lm::test {

// The web server as LMControl runs it, on 127.0.0.1 and a free port, with its settings in a
// folder of its own: the password and a token are set through the one-shot commands, and the
// desk's thread is a DeskThread. Its routes are stand-ins: GET /api/ping and POST /api/echo
// {"text"}, each of which runs on the desk's thread.
class TestServer {
public:
    static constexpr const char* password = "correct horse battery";

    static WebServer::Limits quickLimits();

    explicit TestServer(bool plainHttp = false, WebServer::Limits limits = quickLimits());
    // With the program's routes instead of the stand-ins, made once the settings' store is.
    using RouteMaker = std::function<WebRoutes(std::shared_ptr<WebSettingsStore>)>;
    TestServer(const RouteMaker& routes, bool plainHttp, WebServer::Limits limits);

    // Runs a one-shot command (--web-token NAME, ...) on this server's folders: its standard
    // output, or "" when it failed.
    std::string command(WebCommandLine::Command command, const std::string& name = {},
                        const std::string& input = {});

    int port() const { return server.port(); }
    std::string origin() const;

    TempDir dir;
    WebPlaces places;
    std::shared_ptr<WebSettingsStore> store;
    std::shared_ptr<WebChangeLog> log;
    DeskThread desk;
    WebServer server;
    std::string token;       // the token named "script"
    std::string fingerprint; // the "SHA-256:" line of --web-info
    bool plain = false;
};

// An HTTPS client of the loopback with certificate checking off, as a browser past its
// warning: it records the SHA-256 fingerprint of the certificate it was served and, when
// pinned, ends any handshake with another certificate.
class PinnedClient {
public:
    explicit PinnedClient(int port, std::string pin = {}, std::string from = {});
    httplib::SSLClient& http() { return m_client; }
    const std::string& served() const { return m_served; }

private:
    static int verify(int preverified, X509_STORE_CTX* store);

    httplib::SSLClient m_client;
    std::string m_pin;
    std::string m_served;
};

// Binds a client's socket to a loopback address of its own (127.0.0.2, ...) before it
// connects: another computer, to the server.
httplib::SocketOptions from(const std::string& address);

// A change stream read in a thread of its own.
class StreamReader {
public:
    StreamReader(int port, const std::string& token);
    ~StreamReader();
    StreamReader(const StreamReader&) = delete;
    StreamReader& operator=(const StreamReader&) = delete;

    // Waits until the text has arrived (true) or the stream ended or the time passed.
    bool waitFor(const std::string& text, std::chrono::milliseconds timeout);
    // Waits until the stream has ended.
    bool waitEnd(std::chrono::milliseconds timeout);
    int status();
    std::string text();
    // Hangs up.
    void close();

private:
    PinnedClient m_client;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::string m_text;
    int m_status = 0;
    bool m_ended = false;
    std::thread m_thread;
};

} // namespace lm::test
