#pragma once

#include "WebSettings.h"

#include <optional>
#include <string>

namespace lm {

// What LMControl's command line says of the web API (ControlOptions reads it).
struct WebCommandLine {
    // The one-shot commands: each does its work and ends, whether or not a control program
    // runs on this working folder.
    enum class Command {
        None,
        Password, // --web-password: a new password from standard input
        Token,    // --web-token NAME: a new token, printed once
        Revoke,   // --web-revoke NAME
        Info,     // --web-info: on or off, address, certificate fingerprint, tokens
    };

    Command command = Command::None;
    std::string tokenName;

    // For this run, over the saved settings: --web, --web-port N, --web-http,
    // --web-cert FILE --web-key FILE (absolute paths).
    bool web = false;
    std::optional<int> port;
    bool plainHttp = false;
    std::string certificateFile;
    std::string privateKeyFile;

    WebSettings applyTo(WebSettings settings) const;
};

} // namespace lm
