#include "WebSettingsEdits.h"

#include "PasswordHash.h"
#include "Secrets.h"
#include "WebChangeLog.h"
#include "WebSettingsStore.h"

#include <arpa/inet.h>
#include <array>
#include <chrono>
#include <filesystem>
#include <system_error>

namespace lm {

namespace webSettingsEdits {

bool setPassword(WebSettingsStore& store, const std::string& password, std::string& why) {
    if (password.size() < shortestPassword || password.size() > longestPassword) {
        why = "the password must have from " + std::to_string(shortestPassword) + " to " +
              std::to_string(longestPassword) + " bytes";
        return false;
    }
    std::string hash;
    try {
        hash = passwordHash::make(password);
    } catch (const std::exception& error) {
        why = error.what();
        return false;
    }
    return store.update(
        [&hash](WebSettings& settings, std::string&) {
            settings.passwordHash = hash;
            return true;
        },
        why);
}

std::optional<std::string> makeToken(WebSettingsStore& store, const std::string& name,
                                     std::string& why) {
    if (!isTokenName(name)) {
        why = "\"" + name + "\" is not a token name";
        return std::nullopt;
    }
    const std::string token = secrets::newToken();
    const bool made = store.update(
        [&](WebSettings& settings, std::string& refusal) {
            if (settings.token(name) != nullptr) {
                refusal = "a token named " + name + " exists; revoke it first (--web-revoke " +
                          name + ")";
                return false;
            }
            settings.tokens.push_back({name, secrets::sha256Hex(token),
                                       WebChangeLog::utcText(std::chrono::system_clock::now())});
            return true;
        },
        why);
    return made ? std::optional<std::string>(token) : std::nullopt;
}

bool revokeToken(WebSettingsStore& store, const std::string& name, std::string& why) {
    return store.update(
        [&](WebSettings& settings, std::string& refusal) {
            if (std::erase_if(settings.tokens,
                              [&](const WebToken& token) { return token.name == name; }) == 0) {
                refusal = "no token is named " + name;
                return false;
            }
            return true;
        },
        why);
}

namespace {

bool isIpAddress(const std::string& text) {
    std::array<unsigned char, sizeof(in6_addr)> bytes{};
    return inet_pton(AF_INET, text.c_str(), bytes.data()) == 1 ||
           inet_pton(AF_INET6, text.c_str(), bytes.data()) == 1;
}

// Both files or neither, each an absolute path of a file that is there.
bool certificateFilesFit(const Serving& serving, std::string& why) {
    if (serving.certificateFile.empty() != serving.privateKeyFile.empty()) {
        why = "name both the certificate and its private key, or neither";
        return false;
    }
    for (const std::string& named : {serving.certificateFile, serving.privateKeyFile}) {
        std::error_code error;
        if (!named.empty() && (!std::filesystem::path(named).is_absolute() ||
                               !std::filesystem::is_regular_file(named, error))) {
            why = named + " is not an absolute path of a file";
            return false;
        }
    }
    return true;
}

} // namespace

bool setServing(WebSettingsStore& store, const Serving& serving, std::string& why) {
    constexpr int highestPort = 65535;
    if (serving.port < 1 || serving.port > highestPort) {
        why = "the port is not from 1 to 65535";
        return false;
    }
    if (!isIpAddress(serving.address)) {
        why = "the address " + serving.address + " is not an IPv4 or IPv6 address";
        return false;
    }
    if (!certificateFilesFit(serving, why)) {
        return false;
    }
    if (!serving.showFolder.empty()) {
        const std::filesystem::path folder(serving.showFolder);
        std::error_code error;
        if (!folder.is_absolute() || !std::filesystem::is_directory(folder, error)) {
            why = "the show folder " + serving.showFolder + " is not an absolute path of a folder";
            return false;
        }
    }
    return store.update(
        [&serving](WebSettings& settings, std::string&) {
            settings.enabled = serving.enabled;
            settings.address = serving.address;
            settings.port = serving.port;
            settings.certificateFile = serving.certificateFile;
            settings.privateKeyFile = serving.privateKeyFile;
            settings.plainHttp = serving.plainHttp;
            settings.showFolder = serving.showFolder;
            return true;
        },
        why);
}

} // namespace webSettingsEdits

} // namespace lm
