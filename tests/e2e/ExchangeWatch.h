#pragma once

#include <atomic>
#include <chrono>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace lm::e2e {

// Records, from a thread of its own, every file written into or deleted from the Exchange
// folder (inotify), with what was written. Answer files live only until the control
// program's next watcher tick, so polling could miss them; inotify sees each one. Where the
// control program is told of answers too, it deletes each within a ms: the thread then holds
// each file open from its making on, and reads what was written through that.
class ExchangeWatch {
public:
    using Clock = std::chrono::steady_clock;

    struct Event {
        enum class Kind { Written, Deleted };
        Kind kind = Kind::Written;
        std::string file;
        // When the watch learnt of it.
        Clock::time_point seen;
        // When it was written, from the file's modification time (to within half a kernel
        // tick); `seen` when the file was gone before it could be looked at.
        Clock::time_point written;
        // The file as written, and its first line without the line end (Written only; empty
        // when the file was gone).
        std::string bytes;
        std::string head;
    };

    explicit ExchangeWatch(std::filesystem::path folder);
    ~ExchangeWatch();
    ExchangeWatch(const ExchangeWatch&) = delete;
    ExchangeWatch& operator=(const ExchangeWatch&) = delete;

    bool isWatching() const { return m_fd >= 0 && m_watch >= 0; }
    std::vector<Event> events() const;

private:
    void run();
    // `file` is open on the file as written, or -1 when it was gone.
    void record(Event::Kind kind, const std::string& name, int file);
    void release(const std::string& name);

    std::filesystem::path m_folder;
    int m_fd = -1;
    int m_watch = -1;
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_mutex;
    std::vector<Event> m_events;
    // Each file of the folder, opened when it was made (used by the thread only).
    std::map<std::string, int> m_held;
    std::thread m_thread;
};

// The item number a job or answer line reports (its leading number), or -2 when it has none.
int itemNumberOf(const std::string& head);

} // namespace lm::e2e
