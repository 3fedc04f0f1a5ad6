#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lm {

// An API token as it is kept: its name and the SHA-256 of its text, never the text itself.
struct WebToken {
    std::string name;
    std::string sha256;
    std::string created; // UTC, ISO 8601

    friend bool operator==(const WebToken&, const WebToken&) = default;
};

// The web API's settings, one set per working folder. They are set only in the control window
// or on the command line, never through the network.
struct WebSettings {
    static constexpr int defaultPort = 8443;

    bool enabled = false;
    std::string address = "0.0.0.0"; // every IPv4 address of this computer
    int port = defaultPort;
    // Plain HTTP, for a closed network, only when the operator turns it on.
    bool plainHttp = false;
    // The operator's own certificate and private key (PEM); both empty: the self-signed pair
    // the program makes in its settings folder.
    std::string certificateFile;
    std::string privateKeyFile;
    // The one folder whose show files the API lists, loads and saves; empty: the working
    // folder.
    std::string showFolder;
    // argon2id (crypto_pwhash_str); empty: no password, so nobody can log in.
    std::string passwordHash;
    std::vector<WebToken> tokens;

    const WebToken* token(std::string_view name) const;
    const WebToken* tokenWithHash(std::string_view sha256) const;

    nlohmann::json toJson() const;
    // Nothing, with `why`, for a value of the wrong type or out of range.
    static std::optional<WebSettings> fromJson(const nlohmann::json& json, std::string& why);

    friend bool operator==(const WebSettings&, const WebSettings&) = default;
};

// A token's name: 1 to 64 letters, digits, ".", "_" or "-", so that it reads safely in a log
// line and on a terminal.
bool isTokenName(std::string_view name);

} // namespace lm
