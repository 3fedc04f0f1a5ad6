#pragma once

#include <filesystem>

namespace lm {

// Where the web API keeps its files for one working folder: its settings, certificate and
// private key in the user's configuration folder, its log of changes in the user's state
// folder. Never in the shared Exchange folder.
struct WebPlaces {
    // <config home>/lmsign/<path key of the working folder>/
    std::filesystem::path configFolder;
    // <state home>/lmsign/<path key of the working folder>/web-changes.log
    std::filesystem::path changeLog;

    static WebPlaces forWorkDir(const std::filesystem::path& configHome,
                                const std::filesystem::path& stateHome,
                                const std::filesystem::path& workDir);
    // XDG_CONFIG_HOME, else ~/.config; XDG_STATE_HOME, else ~/.local/state (a relative value
    // counts as unset, as the XDG rules say).
    static std::filesystem::path configHome();
    static std::filesystem::path stateHome();
};

} // namespace lm
