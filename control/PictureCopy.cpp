#include "PictureCopy.h"

#include "TextRules.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <string>
#include <system_error>
#include <unistd.h>

namespace lm {

namespace fs = std::filesystem;

namespace {

class Descriptor {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    bool close() {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }

private:
    int m_fd = -1;
};

bool writeAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool copyContents(int from, int to) {
    std::array<char, 65536> buffer{};
    for (;;) {
        const ssize_t n = ::read(from, buffer.data(), buffer.size());
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if (n == 0) {
            return true;
        }
        if (!writeAll(to, buffer.data(), static_cast<std::size_t>(n))) {
            return false;
        }
    }
}

// A new, exclusively created file in the folder; its name matches none of the wildcard sets
// and none of the chooser's picture patterns.
int createTemporary(const fs::path& folder, fs::path& path) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        path = folder / (".lmcopy-" + std::to_string(::getpid()) + "-" +
                         std::to_string(counter.fetch_add(1)) + ".part");
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    return -1;
}

} // namespace

PictureCopyResult copyPictureIntoExchange(std::string_view picturePath,
                                          const ExchangeFolder& exchange) {
    const std::string name = bareName(picturePath);
    if (name.empty() || name == "." || name == "..") {
        return PictureCopyResult::Failed;
    }
    fs::path source{std::string(picturePath)};
    if (source.is_relative()) {
        source = exchange.workDir() / source;
    }
    const fs::path target = exchange.folder() / name;

    std::error_code error;
    if (!fs::is_regular_file(source, error)) {
        return PictureCopyResult::Failed;
    }
    if (fs::equivalent(source, target, error)) {
        return PictureCopyResult::SameFile;
    }

    Descriptor input(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
    if (!input.valid()) {
        return PictureCopyResult::Failed;
    }
    fs::path temporary;
    Descriptor output(createTemporary(exchange.folder(), temporary));
    if (!output.valid()) {
        return PictureCopyResult::Failed;
    }
    bool complete = copyContents(input.get(), output.get()) && output.close();
    if (complete) {
        // The name changes over in one step: a display never reads a half-copied picture.
        error.clear();
        fs::rename(temporary, target, error);
        complete = !error;
    }
    if (!complete) {
        fs::remove(temporary, error);
        return PictureCopyResult::Failed;
    }
    return PictureCopyResult::Copied;
}

} // namespace lm
