#include "WebSettings.h"

#include "Secrets.h"

#include <type_traits>

namespace lm {

namespace {

template <typename T>
bool take(const nlohmann::json& json, const char* name, T& into, std::string& why) {
    const auto it = json.find(name);
    if (it == json.end()) {
        return true;
    }
    if constexpr (std::is_same_v<T, int>) {
        // get<int> would cut 8443.5 down to a port quietly.
        if (!it->is_number_integer()) {
            why = std::string("\"") + name + "\" is not a whole number";
            return false;
        }
    }
    try {
        into = it->get<T>();
    } catch (const nlohmann::json::exception&) {
        why = std::string("\"") + name + "\" has the wrong type";
        return false;
    }
    return true;
}

bool isHex(std::string_view text) {
    return text.find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

} // namespace

const WebToken* WebSettings::token(std::string_view name) const {
    for (const WebToken& token : tokens) {
        if (token.name == name) {
            return &token;
        }
    }
    return nullptr;
}

const WebToken* WebSettings::tokenWithHash(std::string_view sha256) const {
    const WebToken* found = nullptr;
    // Every token is compared, so that the time taken says nothing of which one matched.
    for (const WebToken& token : tokens) {
        if (secrets::equal(token.sha256, sha256)) {
            found = &token;
        }
    }
    return found;
}

nlohmann::json WebSettings::toJson() const {
    nlohmann::json list = nlohmann::json::array();
    for (const WebToken& token : tokens) {
        list.push_back(
            {{"name", token.name}, {"sha256", token.sha256}, {"created", token.created}});
    }
    return {{"enabled", enabled},
            {"address", address},
            {"port", port},
            {"plainHttp", plainHttp},
            {"certificateFile", certificateFile},
            {"privateKeyFile", privateKeyFile},
            {"showFolder", showFolder},
            {"passwordHash", passwordHash},
            {"tokens", list}};
}

std::optional<WebSettings> WebSettings::fromJson(const nlohmann::json& json, std::string& why) {
    if (!json.is_object()) {
        why = "the settings are not a JSON object";
        return std::nullopt;
    }
    WebSettings settings;
    if (!take(json, "enabled", settings.enabled, why) ||
        !take(json, "address", settings.address, why) || !take(json, "port", settings.port, why) ||
        !take(json, "plainHttp", settings.plainHttp, why) ||
        !take(json, "certificateFile", settings.certificateFile, why) ||
        !take(json, "privateKeyFile", settings.privateKeyFile, why) ||
        !take(json, "showFolder", settings.showFolder, why) ||
        !take(json, "passwordHash", settings.passwordHash, why)) {
        return std::nullopt;
    }
    if (settings.port < 1 || settings.port > 65535) {
        why = "\"port\" is not from 1 to 65535";
        return std::nullopt;
    }
    const auto list = json.find("tokens");
    if (list != json.end()) {
        if (!list->is_array()) {
            why = "\"tokens\" is not a list";
            return std::nullopt;
        }
        for (const nlohmann::json& entry : *list) {
            WebToken token;
            if (!entry.is_object() || !take(entry, "name", token.name, why) ||
                !take(entry, "sha256", token.sha256, why) ||
                !take(entry, "created", token.created, why)) {
                why = why.empty() ? "a token is not a JSON object" : why;
                return std::nullopt;
            }
            if (!isTokenName(token.name) || token.sha256.size() != 64 || !isHex(token.sha256)) {
                why = "the token \"" + token.name + "\" is damaged";
                return std::nullopt;
            }
            settings.tokens.push_back(std::move(token));
        }
    }
    return settings;
}

bool isTokenName(std::string_view name) {
    constexpr std::size_t longest = 64;
    return !name.empty() && name.size() <= longest &&
           name.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                  "0123456789._-") == std::string_view::npos;
}

} // namespace lm
