#include "WebChangeLog.h"

#include "JsonBody.h"
#include "PrivateFiles.h"

#include <array>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

namespace lm {

WebChangeLog::WebChangeLog(std::filesystem::path file) : m_file(std::move(file)) {}

std::string WebChangeLog::utcText(std::chrono::system_clock::time_point time) {
    const auto since = time.time_since_epoch();
    const std::time_t seconds = std::chrono::duration_cast<std::chrono::seconds>(since).count();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(since).count() % 1000;
    std::tm parts{};
    ::gmtime_r(&seconds, &parts);
    std::array<char, 32> text{};
    const std::size_t length = std::strftime(text.data(), text.size(), "%Y-%m-%dT%H:%M:%S", &parts);
    std::array<char, 8> fraction{};
    std::snprintf(fraction.data(), fraction.size(), ".%03dZ", static_cast<int>(ms));
    return std::string(text.data(), length) + fraction.data();
}

bool WebChangeLog::write(const Entry& entry) {
    const std::string line = jsonBody::dump({{"time", utcText(entry.time)},
                                             {"address", entry.address},
                                             {"who", entry.who},
                                             {"what", entry.what},
                                             {"status", entry.status}}) +
                             "\n";
    const std::lock_guard lock(m_mutex);
    if (!m_folderMade) {
        std::string why;
        m_folderMade = privateFiles::makeFolder(m_file.parent_path(), why);
    }
    const int fd = ::open(m_file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        return false;
    }
    // One write of the whole line: O_APPEND keeps lines of two writers apart.
    const bool written = ::write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
    return ::close(fd) == 0 && written;
}

} // namespace lm
