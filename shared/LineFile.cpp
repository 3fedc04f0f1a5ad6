#include "LineFile.h"

#include "ShiftJis.h"
#include "TextRules.h"

#include <array>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lm {

ValueProblem checkValue(std::string_view utf8) {
    if (hasLineBreak(utf8)) {
        return ValueProblem::LineBreak;
    }
    if (!ShiftJis::canEncode(utf8)) {
        return ValueProblem::NotShiftJis;
    }
    return ValueProblem::None;
}

namespace lineFile {

namespace {

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    // Closes now and reports whether the data reached the file system.
    bool close() {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }

private:
    int m_fd = -1;
};

} // namespace

WriteStatus encode(const std::vector<std::string>& lines, std::string& bytes) {
    bytes.clear();
    for (const std::string& line : lines) {
        if (hasLineBreak(line)) {
            return WriteStatus::LineBreak;
        }
        const std::optional<std::string> encoded = ShiftJis::encode(line);
        if (!encoded) {
            return WriteStatus::NotShiftJis;
        }
        bytes += *encoded;
        bytes += "\r\n";
    }
    return WriteStatus::Ok;
}

std::vector<std::string> decode(std::string_view bytes, std::size_t maxLines) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < bytes.size() && lines.size() < maxLines) {
        const std::size_t end = bytes.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            lines.push_back(ShiftJis::decode(bytes.substr(start)));
            break;
        }
        lines.push_back(ShiftJis::decode(bytes.substr(start, end - start)));
        start = end + 1;
        if (bytes[end] == '\r' && start < bytes.size() && bytes[start] == '\n') {
            ++start;
        }
    }
    return lines;
}

bool writeBytes(const std::filesystem::path& path, std::string_view bytes) {
    FileDescriptor file(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW,
                               sharedFileMode));
    if (!file.valid()) {
        return false;
    }
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(file.get(), bytes.data() + written, bytes.size() - written);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        written += static_cast<std::size_t>(n);
    }
    return file.close();
}

bool touch(const std::filesystem::path& path) {
    // A symbolic link in the file's place is touched itself, never what it points to.
    if (::utimensat(AT_FDCWD, path.c_str(), nullptr, AT_SYMLINK_NOFOLLOW) == 0) {
        return true;
    }
    return errno == ENOENT && writeBytes(path, {});
}

WriteStatus write(const std::filesystem::path& path, const std::vector<std::string>& lines) {
    std::string bytes;
    const WriteStatus status = encode(lines, bytes);
    if (status != WriteStatus::Ok) {
        return status;
    }
    return writeBytes(path, bytes) ? WriteStatus::Ok : WriteStatus::IoError;
}

std::optional<std::string> readBytes(const std::filesystem::path& path) {
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file.valid()) {
        return std::nullopt;
    }
    // On a share the kernel may keep a file's size for a while (sshfs and other FUSE mounts: up
    // to 1 s) and reads no further than that size. A file caught empty between another
    // computer's truncation and its write would read empty, or cut, all that while: a job or
    // an answer ten polls late. Asking the server for the size first costs one round trip; on a
    // local disk it is a plain stat. A failure leaves the read as it was.
    struct statx fresh {};
    (void)::statx(file.get(), "", AT_EMPTY_PATH | AT_STATX_FORCE_SYNC, STATX_SIZE, &fresh);
    std::string bytes;
    std::array<char, 8192> buffer{};
    for (;;) {
        const ssize_t n = ::read(file.get(), buffer.data(), buffer.size());
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return std::nullopt;
        }
        if (n == 0) {
            break;
        }
        bytes.append(buffer.data(), static_cast<std::size_t>(n));
        if (bytes.size() > maxFileBytes) {
            return std::nullopt;
        }
    }
    return bytes;
}

std::optional<std::vector<std::string>> read(const std::filesystem::path& path,
                                             std::size_t maxLines) {
    const std::optional<std::string> bytes = readBytes(path);
    if (!bytes) {
        return std::nullopt;
    }
    return decode(*bytes, maxLines);
}

namespace {

// True when the bytes hold at least count lines, each ended by CR LF, CR or LF. A file caught
// while it is written may end inside a line; that line is not whole yet.
bool holdsWholeLines(std::string_view bytes, std::size_t count) {
    std::size_t ends = 0;
    for (std::size_t at = 0; at < bytes.size() && ends < count; ++at) {
        if (bytes[at] == '\n' ||
            (bytes[at] == '\r' && (at + 1 == bytes.size() || bytes[at + 1] != '\n'))) {
            ++ends;
        }
    }
    return ends >= count;
}

} // namespace

std::optional<std::vector<std::string>> readWholeLines(const std::filesystem::path& path,
                                                       std::size_t count) {
    const std::optional<std::string> bytes = readBytes(path);
    if (!bytes || !holdsWholeLines(*bytes, count)) {
        return std::nullopt;
    }
    return decode(*bytes, count);
}

} // namespace lineFile
} // namespace lm
