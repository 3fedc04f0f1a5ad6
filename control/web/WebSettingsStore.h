#pragma once

#include "WebSettings.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <sys/types.h>

namespace lm {

// The web settings' file in the user's configuration folder, at mode 0600. The control window
// and the one-shot commands (--web-password, --web-token, --web-revoke) change it, whether or
// not a control program runs; a running one reads it again whenever the file has changed, so
// a revoked token or a new password counts from the next request on.
class WebSettingsStore {
public:
    static constexpr const char* fileName = "web.json";

    // folder: this working folder's settings folder (WebPlaces::configFolder).
    explicit WebSettingsStore(std::filesystem::path folder);

    const std::filesystem::path& folder() const { return m_folder; }
    std::filesystem::path file() const { return m_folder / fileName; }

    // The settings as the file holds them now, read again only when the file changed (its
    // modification time, size or inode). No file: the defaults (off, no password, no token).
    // A file that cannot be read or is damaged counts as no password and no token, so that a
    // failed change never leaves a revoked token working; problem() then says why.
    std::shared_ptr<const WebSettings> current();
    std::string problem();

    // Reads the file, lets `change` change the settings and writes them back, all under a
    // lock that other processes take too. `change` returns false to leave the file as it is
    // (with `why` set). False with `why` when the file cannot be read or written.
    bool update(const std::function<bool(WebSettings&, std::string& why)>& change,
                std::string& why);

    // Reads the file now, as update() does: nothing, with `why`, when it is damaged.
    std::optional<WebSettings> load(std::string& why) const;

private:
    struct Stamp {
        bool exists = false;
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = 0;
        long long modifiedNs = 0;
        friend bool operator==(const Stamp&, const Stamp&) = default;
    };
    Stamp stamp() const;

    std::filesystem::path m_folder;
    std::mutex m_mutex;
    std::optional<Stamp> m_seen;
    std::shared_ptr<const WebSettings> m_current;
    std::string m_problem;
};

} // namespace lm
