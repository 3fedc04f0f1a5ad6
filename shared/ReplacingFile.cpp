#include "ReplacingFile.h"

#include "LineFile.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <utility>
#include <vector>

namespace lm {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view temporaryPrefix = ".lmtmp-";
constexpr std::string_view temporarySuffix = ".part";
// No save takes this long: a temporary file this old was left by a save that was killed,
// whichever computer made it.
constexpr auto abandonedAge = std::chrono::hours(1);
// As many links as the kernel follows before it gives up (ELOOP).
constexpr int maxLinkHops = 40;

// Temporary files are named after the computer and the process: a save never takes the file
// of a save in progress, on this computer or another, for a leftover.
std::string ownPrefix() {
    std::array<char, 256> host{};
    if (::gethostname(host.data(), host.size() - 1) != 0 || host[0] == '\0' ||
        std::string_view(host.data()).find('/') != std::string_view::npos) {
        return std::string(temporaryPrefix) + "host-";
    }
    return std::string(temporaryPrefix) + host.data() + "-";
}

// The process of one of this computer's temporary files, "<prefix><pid>-<counter>.part", or 0.
long processOf(std::string_view name, const std::string& prefix) {
    if (!name.starts_with(prefix) || !name.ends_with(temporarySuffix)) {
        return 0;
    }
    const char* const end = name.data() + name.size() - temporarySuffix.size();
    long pid = 0;
    unsigned long counter = 0;
    const auto parsedPid = std::from_chars(name.data() + prefix.size(), end, pid);
    if (parsedPid.ec != std::errc() || parsedPid.ptr == end || *parsedPid.ptr != '-') {
        return 0;
    }
    const auto parsedCounter = std::from_chars(parsedPid.ptr + 1, end, counter);
    return parsedCounter.ec == std::errc() && parsedCounter.ptr == end ? pid : 0;
}

bool isAbandoned(const fs::directory_entry& entry, const std::string& prefix) {
    const std::string name = entry.path().filename().string();
    std::error_code error;
    if (!ReplacingFile::isTemporaryName(name) || entry.is_symlink(error) ||
        !entry.is_regular_file(error)) {
        return false;
    }
    const long pid = processOf(name, prefix);
    if (pid > 0 && pid != ::getpid() && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) {
        return true;
    }
    const auto modified = entry.last_write_time(error);
    return !error && fs::file_time_type::clock::now() - modified > abandonedAge;
}

// Leftovers of saves that were killed half-way; nothing else is touched.
void removeLeftovers(const fs::path& folder, const std::string& prefix) {
    std::error_code error;
    std::vector<fs::path> leftovers;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        if (isAbandoned(*it, prefix)) {
            leftovers.push_back(it->path());
        }
    }
    for (const fs::path& path : leftovers) {
        std::error_code ignored;
        fs::remove(path, ignored);
    }
}

// Where a chain of symbolic links ends, also when its last target does not exist yet.
fs::path throughLinks(fs::path path) {
    for (int hop = 0; hop < maxLinkHops; ++hop) {
        std::error_code error;
        if (!fs::is_symlink(path, error)) {
            return path;
        }
        const fs::path next = fs::read_symlink(path, error);
        if (error) {
            return path;
        }
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    return path;
}

// The name matches none of the Exchange folder's wildcard sets and none of the chooser's
// patterns, so nobody mistakes a temporary file for a show file or a picture.
int createTemporary(const fs::path& folder, const std::string& prefix, mode_t mode,
                    fs::path& path) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        path = folder / (prefix + std::to_string(::getpid()) + "-" +
                         std::to_string(counter.fetch_add(1)) + std::string(temporarySuffix));
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    return -1;
}

// The replacement takes over the file's mode, and its owner and group where the system lets
// us; a file that is not there yet keeps the umask's mode.
void keepModeOf(const fs::path& target, int fd) {
    struct stat old {};
    if (::stat(target.c_str(), &old) != 0 || !S_ISREG(old.st_mode)) {
        return;
    }
    // Another user's file in a folder we may write keeps at least its group, where we are in it.
    [[maybe_unused]] const bool sameOwner = ::fchown(fd, old.st_uid, old.st_gid) == 0 ||
                                            ::fchown(fd, static_cast<uid_t>(-1), old.st_gid) == 0;
    // After the owner: a change of owner clears the set-id bits.
    ::fchmod(fd, old.st_mode & 07777);
}

} // namespace

bool ReplacingFile::isTemporaryName(std::string_view name) {
    return name.size() > temporaryPrefix.size() + temporarySuffix.size() &&
           name.starts_with(temporaryPrefix) && name.ends_with(temporarySuffix);
}

ReplacingFile::ReplacingFile(fs::path target, Kind kind)
    : m_target(kind == Kind::Own ? throughLinks(std::move(target)) : std::move(target)) {
    fs::path folder = m_target.parent_path();
    if (folder.empty()) {
        folder = ".";
    }
    const std::string prefix = ownPrefix();
    removeLeftovers(folder, prefix);
    m_fd = createTemporary(folder, prefix, kind == Kind::Shared ? lineFile::sharedFileMode : 0666,
                           m_temporary);
    if (m_fd >= 0 && kind == Kind::Own) {
        keepModeOf(m_target, m_fd);
    }
}

ReplacingFile::~ReplacingFile() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
    if (!m_committed && !m_temporary.empty()) {
        std::error_code ignored;
        fs::remove(m_temporary, ignored);
    }
}

bool ReplacingFile::write(std::string_view bytes) {
    if (m_fd < 0 || m_failed) {
        return false;
    }
    while (!bytes.empty()) {
        const ssize_t n = ::write(m_fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            m_failed = true;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

bool ReplacingFile::copyFrom(int fd) {
    std::array<char, 65536> buffer{};
    for (;;) {
        const ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            m_failed = true;
            return false;
        }
        if (n == 0) {
            return true;
        }
        if (!write(std::string_view(buffer.data(), static_cast<std::size_t>(n)))) {
            return false;
        }
    }
}

bool ReplacingFile::commit() {
    if (m_fd < 0 || m_failed || m_committed) {
        return false;
    }
    // The data must be on disk before the name points at it, or a crash could leave an empty
    // file where the old one was.
    const bool synced = ::fsync(m_fd) == 0;
    const bool closed = ::close(m_fd) == 0;
    m_fd = -1;
    if (!synced || !closed) {
        m_failed = true;
        return false;
    }
    std::error_code error;
    fs::rename(m_temporary, m_target, error);
    if (error) {
        m_failed = true;
        return false;
    }
    m_committed = true;
    return true;
}

} // namespace lm
