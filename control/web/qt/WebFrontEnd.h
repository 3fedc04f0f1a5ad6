#pragma once

#include "UiCalls.h"
#include "WebCommandLine.h"
#include "WebSettings.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace lm {

class DeskEvents;
class DeskRoutes;
class OperatorDesk;
class QtPictureProbe;
class WebChangeLog;
class WebServer;
class WebSettingsStore;

// The web API in the control program: the server with the desk's routes, the change streams
// and the browser page's files, on or off as the web settings say. The window's dialog changes
// the settings and calls apply(): the server follows (turned on or off, another port) without a
// restart.
class WebFrontEnd {
public:
    struct Options {
        std::filesystem::path workDir;
        // --web and its options, over the saved settings until the window changes them.
        WebCommandLine commandLine;
        // Made on the desk's thread; posts onto it (QtDeskThread::poster()).
        UiCalls::Post post;
    };

    // On the desk's thread, before any other view on the desk (see DeskEvents).
    WebFrontEnd(OperatorDesk& desk, Options options);
    // Stops the server.
    ~WebFrontEnd();
    WebFrontEnd(const WebFrontEnd&) = delete;
    WebFrontEnd& operator=(const WebFrontEnd&) = delete;

    // Runs the server as the settings say now, restarting it only when where or how it listens
    // changed. False with `why` when it should run and cannot (a port taken, no certificate).
    bool apply(std::string& why);
    // The operator changed the saved settings in the window: from now on they hold alone, over
    // the command line's, and the server follows them.
    bool applySaved(std::string& why);
    // Before the desk goes: every connection and stream ends, within half a second.
    void stop();

    bool running() const;
    int port() const;
    // The settings in force (the saved ones, with the command line's over them).
    WebSettings settings() const;
    // The SHA-256 fingerprint of the certificate served (or that would be); empty when there
    // is none, with `why`.
    std::string fingerprint(std::string& why) const;
    const std::shared_ptr<WebSettingsStore>& store() const { return m_store; }

private:
    Options m_options;
    std::shared_ptr<WebSettingsStore> m_store;
    std::shared_ptr<WebChangeLog> m_changes;
    std::unique_ptr<QtPictureProbe> m_inspector;
    std::unique_ptr<DeskRoutes> m_routes;
    std::unique_ptr<WebServer> m_server;
    std::unique_ptr<DeskEvents> m_events;
    // Where and how it listens now; none while stopped.
    std::optional<WebSettings> m_listening;
    // The command line's options still hold: the window has not changed the settings.
    bool m_commandLineHolds = true;
};

} // namespace lm
