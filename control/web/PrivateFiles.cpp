#include "PrivateFiles.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lm::privateFiles {

namespace {

std::string failure(const std::string& what, const std::filesystem::path& path) {
    return what + " " + path.string() + ": " + std::strerror(errno);
}

} // namespace

bool makeFolder(const std::filesystem::path& folder, std::string& why) {
    std::error_code error;
    for (std::filesystem::path part; const std::filesystem::path& name : folder) {
        part /= name;
        if (std::filesystem::exists(part, error)) {
            continue;
        }
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            why = failure("cannot make", part);
            return false;
        }
    }
    if (!std::filesystem::is_directory(folder, error)) {
        why = folder.string() + " is not a folder";
        return false;
    }
    // A folder made before with a looser mode is closed now.
    if (::chmod(folder.c_str(), 0700) != 0) {
        why = failure("cannot close", folder);
        return false;
    }
    return true;
}

bool write(const std::filesystem::path& file, std::string_view bytes, std::string& why) {
    const std::filesystem::path temporary = file.string() + ".tmp-" + std::to_string(::getpid());
    ::unlink(temporary.c_str());
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        why = failure("cannot write", temporary);
        return false;
    }
    bool ok = ::fchmod(fd, 0600) == 0;
    for (std::size_t done = 0; ok && done < bytes.size();) {
        const ssize_t written = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        ok = written > 0;
        done += ok ? static_cast<std::size_t>(written) : 0;
    }
    ok = ok && ::fsync(fd) == 0;
    if (!ok) {
        why = failure("cannot write", temporary);
    }
    ok = ::close(fd) == 0 && ok;
    if (ok && ::rename(temporary.c_str(), file.c_str()) != 0) {
        why = failure("cannot replace", file);
        ok = false;
    }
    if (!ok) {
        ::unlink(temporary.c_str());
    }
    return ok;
}

std::optional<std::string> read(const std::filesystem::path& file, std::string& why,
                                std::size_t limit) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        why = failure("cannot read", file);
        return std::nullopt;
    }
    std::string bytes;
    char buffer[8192];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            why = failure("cannot read", file);
            ::close(fd);
            return std::nullopt;
        }
        if (got == 0) {
            break;
        }
        bytes.append(buffer, static_cast<std::size_t>(got));
        if (bytes.size() > limit) {
            why = file.string() + " is larger than " + std::to_string(limit) + " bytes";
            ::close(fd);
            return std::nullopt;
        }
    }
    ::close(fd);
    return bytes;
}

} // namespace lm::privateFiles
