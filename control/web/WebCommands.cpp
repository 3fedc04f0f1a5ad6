#include "WebCommands.h"

#include "PasswordHash.h"
#include "Secrets.h"
#include "TlsIdentity.h"
#include "WebChangeLog.h"
#include "WebSettingsEdits.h"
#include "WebSettingsStore.h"

#include <array>
#include <iostream>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace lm {

namespace {

// Turns the terminal's echo off while a password is typed.
class NoEcho {
public:
    explicit NoEcho(bool terminal) {
        if (terminal && ::tcgetattr(STDIN_FILENO, &m_saved) == 0) {
            termios quiet = m_saved;
            quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
            m_active = ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) == 0;
        }
    }
    ~NoEcho() {
        if (m_active) {
            ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &m_saved);
        }
    }
    NoEcho(const NoEcho&) = delete;
    NoEcho& operator=(const NoEcho&) = delete;

private:
    termios m_saved{};
    bool m_active = false;
};

bool readLine(WebConsole& console, const char* prompt, std::string& line) {
    if (console.terminal) {
        console.err << prompt << std::flush;
    }
    const NoEcho quiet(console.terminal);
    const bool read = static_cast<bool>(std::getline(console.in, line));
    if (console.terminal) {
        console.err << "\n";
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return read;
}

int fail(WebConsole& console, const std::string& why) {
    console.err << "LMControl: " << why << "\n";
    return 1;
}

int setPassword(WebSettingsStore& store, WebConsole& console) {
    std::string password;
    if (!readLine(console, "New password for the web API: ", password)) {
        return fail(console, "no password on standard input");
    }
    if (console.terminal) {
        std::string again;
        if (!readLine(console, "The same again: ", again) || again != password) {
            return fail(console, "the two passwords differ; nothing was changed");
        }
    }
    std::string why;
    if (!webSettingsEdits::setPassword(store, password, why)) {
        return fail(console, why);
    }
    console.out << "LMControl: the web API's password is set; sessions opened with the old one "
                   "have ended\n";
    return 0;
}

int makeToken(WebSettingsStore& store, const std::string& name, WebConsole& console) {
    std::string why;
    const std::optional<std::string> token = webSettingsEdits::makeToken(store, name, why);
    if (!token) {
        return fail(console, why);
    }
    // The token alone on standard output, for a script to take; the rest on standard error.
    console.out << *token << "\n";
    console.err << "LMControl: token " << name
                << " made; it is shown only this once (send it as \"Authorization: Bearer "
                   "TOKEN\")\n";
    return 0;
}

int revokeToken(WebSettingsStore& store, const std::string& name, WebConsole& console) {
    std::string why;
    if (!webSettingsEdits::revokeToken(store, name, why)) {
        return fail(console, why);
    }
    console.out << "LMControl: token " << name << " revoked\n";
    return 0;
}

std::string hostName() {
    std::array<char, 256> name{};
    return ::gethostname(name.data(), name.size() - 1) == 0 ? name.data() : "localhost";
}

int info(const WebSettingsStore& store, const WebCommandLine& line, const WebPlaces& places,
         WebConsole& console) {
    std::string why;
    const std::optional<WebSettings> saved = store.load(why);
    if (!saved) {
        return fail(console, why);
    }
    const WebSettings settings = line.applyTo(*saved);
    std::ostream& out = console.out;
    const std::string host = settings.address == "0.0.0.0" ? hostName() : settings.address;
    out << "web API:     " << (settings.enabled ? "on" : "off (turn it on with --web)") << "\n";
    out << "address:     " << (settings.plainHttp ? "http://" : "https://") << host << ":"
        << settings.port << "/\n";
    if (settings.plainHttp) {
        out << "certificate: none (plain HTTP, for a closed network only)\n";
    } else {
        const std::optional<TlsIdentity> identity =
            TlsIdentity::ensure(store.folder(), settings, why);
        if (!identity) {
            return fail(console, why);
        }
        out << "certificate: " << (identity->selfSigned ? "self-signed, " : "")
            << identity->source.string() << "\n";
        out << "SHA-256:     " << identity->fingerprint << "\n";
    }
    out << "password:    "
        << (settings.passwordHash.empty() ? "not set (LMControl --web-password)" : "set") << "\n";
    out << "tokens:      ";
    if (settings.tokens.empty()) {
        out << "none (LMControl --web-token NAME)";
    }
    for (std::size_t i = 0; i < settings.tokens.size(); ++i) {
        out << (i > 0 ? ", " : "") << settings.tokens[i].name << " (" << settings.tokens[i].created
            << ")";
    }
    out << "\n";
    out << "show files:  "
        << (settings.showFolder.empty() ? std::string("the working folder") : settings.showFolder)
        << "\n";
    out << "settings:    " << store.file().string() << "\n";
    out << "change log:  " << places.changeLog.string() << "\n";
    return 0;
}

} // namespace

WebSettings WebCommandLine::applyTo(WebSettings settings) const {
    settings.enabled = settings.enabled || web;
    if (port) {
        settings.port = *port;
    }
    settings.plainHttp = settings.plainHttp || plainHttp;
    if (!certificateFile.empty()) {
        settings.certificateFile = certificateFile;
        settings.privateKeyFile = privateKeyFile;
    }
    return settings;
}

int runWebCommand(const WebCommandLine& line, const WebPlaces& places, WebConsole console) {
    WebSettingsStore store(places.configFolder);
    switch (line.command) {
    case WebCommandLine::Command::Password:
        return setPassword(store, console);
    case WebCommandLine::Command::Token:
        return makeToken(store, line.tokenName, console);
    case WebCommandLine::Command::Revoke:
        return revokeToken(store, line.tokenName, console);
    case WebCommandLine::Command::Info:
        return info(store, line, places, console);
    case WebCommandLine::Command::None:
        break;
    }
    return 0;
}

int runWebCommand(const WebCommandLine& line) {
    std::error_code error;
    const WebPlaces places = WebPlaces::forWorkDir(WebPlaces::configHome(), WebPlaces::stateHome(),
                                                   std::filesystem::current_path(error));
    return runWebCommand(line, places,
                         WebConsole{std::cin, std::cout, std::cerr, ::isatty(STDIN_FILENO) == 1});
}

} // namespace lm
