#include "PictureCopy.h"

#include "ReplacingFile.h"
#include "TextRules.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace lm {

namespace {

namespace fs = std::filesystem;

// The first bytes of a JPEG, BMP or GIF say which it is; nothing is decoded here. The display
// program decodes the picture later, within its memory limit.
constexpr std::size_t headerSize = 18;

std::uint32_t littleEndian32(std::string_view bytes) {
    std::uint32_t value = 0;
    for (std::size_t i = 4; i-- > 0;) {
        value = (value << 8U) | static_cast<unsigned char>(bytes[i]);
    }
    return value;
}

bool isPictureHeader(std::string_view header) {
    // JPEG: the start-of-image marker, then the next marker.
    if (header.starts_with("\xFF\xD8\xFF")) {
        return true;
    }
    if (header.starts_with("GIF87a") || header.starts_with("GIF89a")) {
        return true;
    }
    // BMP: "BM", and after the 14 bytes of the file header the size of a known info header
    // (OS/2 12 and 64, Windows 40, 52, 56, 108 and 124): "BM" alone begins many a text.
    if (header.size() >= headerSize && header.starts_with("BM")) {
        constexpr std::array<std::uint32_t, 7> infoSizes{12, 40, 52, 56, 64, 108, 124};
        return std::ranges::find(infoSizes, littleEndian32(header.substr(14))) != infoSizes.end();
    }
    return false;
}

// An open source picture, closed when it goes.
class Source {
public:
    // Only a regular file opens: O_NONBLOCK keeps a named pipe from holding up the window.
    explicit Source(const fs::path& path)
        : m_fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)) {
        if (m_fd >= 0 && (::fstat(m_fd, &m_info) != 0 || !S_ISREG(m_info.st_mode))) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    ~Source() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    Source(const Source&) = delete;
    Source& operator=(const Source&) = delete;

    int fd() const { return m_fd; }
    const struct stat& info() const { return m_info; }

    // The first bytes, or nothing when they cannot be read. The read position stays at 0.
    std::optional<std::string> header() const {
        std::array<char, headerSize> buffer{};
        ssize_t n = -1;
        do {
            n = ::pread(m_fd, buffer.data(), buffer.size(), 0);
        } while (n < 0 && errno == EINTR);
        if (n < 0) {
            return std::nullopt;
        }
        return std::string(buffer.data(), static_cast<std::size_t>(n));
    }

private:
    int m_fd = -1;
    struct stat m_info {};
};

fs::path sourcePath(std::string_view picturePath, const ExchangeFolder& exchange) {
    fs::path source{std::string(picturePath)};
    return source.is_relative() ? exchange.workDir() / source : source;
}

bool isUsableName(const std::string& name) {
    return !name.empty() && name != "." && name != "..";
}

} // namespace

PictureRefusal pictureRefusal(std::string_view picturePath, const ExchangeFolder& exchange) {
    if (ExchangeFolder::isReservedName(bareName(picturePath))) {
        return PictureRefusal::ReservedName;
    }
    const Source source(sourcePath(picturePath, exchange));
    if (source.fd() < 0) {
        return PictureRefusal::None;
    }
    const std::optional<std::string> header = source.header();
    return !header || isPictureHeader(*header) ? PictureRefusal::None : PictureRefusal::NotAPicture;
}

PictureCopyResult copyPictureIntoExchange(std::string_view picturePath,
                                          const ExchangeFolder& exchange) {
    const std::string name = bareName(picturePath);
    if (!isUsableName(name)) {
        return PictureCopyResult::Failed;
    }
    if (ExchangeFolder::isReservedName(name)) {
        return PictureCopyResult::Refused;
    }
    // The header is checked on the very file that is copied, so swapping the file in between
    // cannot slip anything past the check.
    const Source source(sourcePath(picturePath, exchange));
    if (source.fd() < 0) {
        return PictureCopyResult::Failed;
    }
    const std::optional<std::string> header = source.header();
    if (!header) {
        return PictureCopyResult::Failed;
    }
    if (!isPictureHeader(*header)) {
        return PictureCopyResult::Refused;
    }
    const fs::path target = exchange.folder() / name;
    struct stat existing {};
    if (::stat(target.c_str(), &existing) == 0 && existing.st_dev == source.info().st_dev &&
        existing.st_ino == source.info().st_ino) {
        return PictureCopyResult::SameFile;
    }
    ReplacingFile output(target, ReplacingFile::Kind::Shared);
    return output.copyFrom(source.fd()) && output.commit() ? PictureCopyResult::Copied
                                                           : PictureCopyResult::Failed;
}

} // namespace lm
