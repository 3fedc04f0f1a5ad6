#pragma once

#include <optional>
#include <string>

namespace lm {

class WebSettingsStore;

// The changes an operator makes to the web settings, in the window or with the one-shot
// commands alike: each is checked here once and written under the store's lock. `why` says
// what was wrong (English: the command line's and the log's words).
namespace webSettingsEdits {

inline constexpr std::size_t shortestPassword = 8;
inline constexpr std::size_t longestPassword = 1024;

bool setPassword(WebSettingsStore& store, const std::string& password, std::string& why);
// The new token's text, shown once and kept only as its SHA-256.
std::optional<std::string> makeToken(WebSettingsStore& store, const std::string& name,
                                     std::string& why);
bool revokeToken(WebSettingsStore& store, const std::string& name, std::string& why);

// Where and whether the API serves, as the window sets it. The address is an IPv4 or IPv6
// address of this computer (0.0.0.0: all of its IPv4 addresses). The show folder is an
// absolute path of a folder that is there, or empty (the working folder). The operator's
// certificate and key are absolute paths of files that are there, both or neither (neither:
// the self-signed pair).
struct Serving {
    bool enabled = false;
    std::string address = "0.0.0.0";
    int port = 8443;
    bool plainHttp = false;
    std::string showFolder;
    std::string certificateFile;
    std::string privateKeyFile;
};
bool setServing(WebSettingsStore& store, const Serving& serving, std::string& why);

} // namespace webSettingsEdits

} // namespace lm
