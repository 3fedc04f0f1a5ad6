#pragma once

#include "EventHub.h"
#include "TlsIdentity.h"
#include "UiCalls.h"
#include "WebRoute.h"
#include "WebSettings.h"

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>

namespace lm {

class WebChangeLog;
class WebSettingsStore;

// The web API's server: HTTPS (or plain HTTP when the operator turned it on) on a pool of
// threads of its own, with the rules of who gets in and the limits in front of every route.
// Routes never touch the desk from the server's threads: they hand their work to the desk's
// thread through ApiRequest::onDesk. The change streams (GET /api/events) take what is
// published into events().
//
// Built in: POST /api/login {"password"} (a session cookie), POST /api/logout,
// GET /api/session (who is asking), GET /api/events (server-sent events).
class WebServer {
public:
    struct Limits {
        std::size_t jsonBody = 1024 * 1024;
        std::size_t pictureBody = 20 * 1024 * 1024;
        // A body on a route that takes none (a command without parameters): at most this, and
        // not read.
        std::size_t otherBody = 64 * 1024;
        // All header lines together (cpp-httplib refuses a single line over 8 KB itself).
        std::size_t headerBytes = 32 * 1024;
        std::size_t headerLines = 100;
        // Change streams open at once; the next gets 503.
        std::size_t streams = 50;
        // Threads beside the streams' own, for commands and idle connections.
        std::size_t commandThreads = 8;
        // Connections accepted and waiting for a thread; past that the rest wait in the
        // kernel's backlog, of this many; past that they are dropped (and retried).
        std::size_t waitingConnections = 16;
        std::size_t backlog = 64;
        // A client that sends or takes nothing for this long is dropped.
        std::chrono::seconds readTimeout{5};
        std::chrono::seconds writeTimeout{5};
        std::chrono::seconds keepAlive{5};
        // A stream with no change for this long gets a comment line, which finds a client that
        // has gone.
        std::chrono::milliseconds heartbeat{15000};
        // stop() waits this long for the server's threads, then leaves the rest to end on
        // their own (they hold what they use).
        std::chrono::milliseconds stopWait{500};
    };

    struct Options {
        std::string address = "0.0.0.0";
        int port = WebSettings::defaultPort; // 0: any free port (the tests)
        bool plainHttp = false;
        TlsIdentity tls; // unused with plain HTTP
        Limits limits;

        static Options from(const WebSettings& settings, TlsIdentity tls);
    };

    struct Services {
        std::shared_ptr<WebSettingsStore> settings;
        std::shared_ptr<WebChangeLog> changes;
        // Posts onto the desk's thread (QtUiThread::poster() in the program).
        UiCalls::Post post;
        // How long a command may wait for the desk's thread to take it up.
        std::chrono::milliseconds deskTimeout{5000};
    };

    WebServer(WebRoutes routes, Services services);
    // Stops.
    ~WebServer();
    WebServer(const WebServer&) = delete;
    WebServer& operator=(const WebServer&) = delete;

    // Listens with these options (stopping first if it ran). False with `why` when it cannot:
    // the port is taken, the address is not this computer's, the certificate is unusable.
    bool start(const Options& options, std::string& why);
    // Refuses new connections, ends every open stream and connection, drops the commands the
    // desk has not begun, and returns within Limits::stopWait. Call it from the desk's thread
    // before the desk goes.
    void stop();
    bool running() const { return m_run != nullptr; }
    // The port it listens on (the one chosen, for port 0); 0 when stopped.
    int port() const;

    EventHub& events();

    struct Core;
    class Run;

private:
    std::shared_ptr<Core> m_core;
    std::shared_ptr<Run> m_run;
};

} // namespace lm
