#pragma once

#include <atomic>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace lm::e2e {

// Records, from a thread of its own, every file written into or deleted from the Exchange
// folder, with what was written. Answer files live only until the control program's next
// watcher tick, so polling could miss them; the kernel's reports see each one. Told of answers
// at once, the control program deletes each within a ms, before a watch could open it: as root
// the watch therefore takes each written file from fanotify, which opens it as the writer
// closes it. Elsewhere (inotify alone) such an answer may be recorded without its bytes.
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
    // The written files fanotify reports, and the names inotify reports.
    void readWrites();
    void readNames();
    // `file` is open on the file as written, or -1 when it was gone.
    void record(Event::Kind kind, const std::string& name, int file);
    // Moves what was recorded to the events the test reads: at once when the test is not
    // reading them (the thread never waits for it), or (wait) in any case.
    void handOver(bool wait);

    std::filesystem::path m_folder;
    int m_fd = -1;
    int m_fanotify = -1;
    int m_watch = -1;
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_mutex;
    std::vector<Event> m_events;
    // What the thread recorded and has not handed over yet.
    std::vector<Event> m_recorded;
    std::thread m_thread;
};

// The item number a job or answer line reports (its leading number), or -2 when it has none.
int itemNumberOf(const std::string& head);

} // namespace lm::e2e
