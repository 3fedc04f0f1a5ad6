#include "WebPlaces.h"

#include "PathKey.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace lm {

namespace {

std::filesystem::path home() {
    const char* set = std::getenv("HOME");
    if (set != nullptr && *set == '/') {
        return set;
    }
    const passwd* entry = ::getpwuid(::getuid());
    return entry != nullptr && entry->pw_dir != nullptr ? entry->pw_dir : "/";
}

std::filesystem::path xdg(const char* variable, const std::filesystem::path& fallback) {
    const char* set = std::getenv(variable);
    if (set != nullptr && *set == '/') {
        return set;
    }
    return home() / fallback;
}

} // namespace

WebPlaces WebPlaces::forWorkDir(const std::filesystem::path& configHome,
                                const std::filesystem::path& stateHome,
                                const std::filesystem::path& workDir) {
    const std::string key = pathKey(workDir);
    return {configHome / "lmsign" / key, stateHome / "lmsign" / key / "web-changes.log"};
}

std::filesystem::path WebPlaces::configHome() {
    return xdg("XDG_CONFIG_HOME", ".config");
}

std::filesystem::path WebPlaces::stateHome() {
    return xdg("XDG_STATE_HOME", ".local/state");
}

} // namespace lm
