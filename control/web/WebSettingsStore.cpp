#include "WebSettingsStore.h"

#include "PrivateFiles.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lm {

namespace {

// flock on a file beside the settings: released by the kernel however the process ends.
class FolderLock {
public:
    explicit FolderLock(const std::filesystem::path& folder) {
        const std::filesystem::path path = folder / "web.lock";
        m_fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (m_fd >= 0 && ::flock(m_fd, LOCK_EX) != 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    ~FolderLock() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    bool held() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

} // namespace

WebSettingsStore::WebSettingsStore(std::filesystem::path folder) : m_folder(std::move(folder)) {}

WebSettingsStore::Stamp WebSettingsStore::stamp() const {
    struct stat status {};
    if (::stat(file().c_str(), &status) != 0) {
        return {};
    }
    return {true, status.st_dev, status.st_ino, status.st_size,
            static_cast<long long>(status.st_mtim.tv_sec) * 1000000000LL + status.st_mtim.tv_nsec};
}

std::optional<WebSettings> WebSettingsStore::load(std::string& why) const {
    std::error_code error;
    if (!std::filesystem::exists(file(), error)) {
        return WebSettings{};
    }
    const std::optional<std::string> bytes = privateFiles::read(file(), why);
    if (!bytes) {
        return std::nullopt;
    }
    const nlohmann::json json = nlohmann::json::parse(*bytes, nullptr, false);
    if (json.is_discarded()) {
        why = file().string() + " is not JSON";
        return std::nullopt;
    }
    std::optional<WebSettings> settings = WebSettings::fromJson(json, why);
    if (!settings) {
        why = file().string() + ": " + why;
    }
    return settings;
}

std::shared_ptr<const WebSettings> WebSettingsStore::current() {
    const std::lock_guard lock(m_mutex);
    const Stamp now = stamp();
    if (m_current && m_seen == now) {
        return m_current;
    }
    std::string why;
    std::optional<WebSettings> settings = load(why);
    if (settings) {
        m_problem.clear();
    } else {
        // Closed rather than open: no password, no token.
        m_problem = why;
        settings.emplace();
    }
    m_current = std::make_shared<const WebSettings>(std::move(*settings));
    m_seen = now;
    return m_current;
}

std::string WebSettingsStore::problem() {
    const std::lock_guard lock(m_mutex);
    return m_problem;
}

bool WebSettingsStore::update(const std::function<bool(WebSettings&, std::string&)>& change,
                              std::string& why) {
    if (!privateFiles::makeFolder(m_folder, why)) {
        return false;
    }
    const FolderLock lock(m_folder);
    if (!lock.held()) {
        why = "cannot lock " + (m_folder / "web.lock").string() + ": " + std::strerror(errno);
        return false;
    }
    std::optional<WebSettings> settings = load(why);
    if (!settings || !change(*settings, why)) {
        return false;
    }
    return privateFiles::write(file(), settings->toJson().dump(2) + "\n", why);
}

} // namespace lm
