#pragma once

#include <chrono>
#include <filesystem>
#include <mutex>
#include <string>

namespace lm {

// The log of what came in through the network and changed something (or tried to): one JSON
// object a line, in the user's state folder, at mode 0600. Log-ins and log-outs are there too.
class WebChangeLog {
public:
    struct Entry {
        std::chrono::system_clock::time_point time;
        std::string address;
        std::string who;  // "token NAME", "session 1a2b3c4d", or empty before a log-in
        std::string what; // "POST /api/list", "log-in refused", ...
        int status = 0;   // the HTTP status answered
    };

    explicit WebChangeLog(std::filesystem::path file);
    const std::filesystem::path& file() const { return m_file; }

    // False when the line cannot be written; the request has been answered all the same.
    bool write(const Entry& entry);

    static std::string utcText(std::chrono::system_clock::time_point time);

private:
    std::filesystem::path m_file;
    std::mutex m_mutex;
    bool m_folderMade = false;
};

} // namespace lm
