#include "ExchangeWatch.h"

#include <array>
#include <cerrno>
#include <charconv>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

namespace lm::e2e {

namespace {

// Steady time of a modification time, through the offset between the two clocks now.
ExchangeWatch::Clock::time_point steadyTimeOf(const timespec& modified) {
    using namespace std::chrono;
    const auto realNow = system_clock::now();
    const auto steadyNow = ExchangeWatch::Clock::now();
    const auto since =
        realNow.time_since_epoch() - duration_cast<system_clock::duration>(
                                         seconds(modified.tv_sec) + nanoseconds(modified.tv_nsec));
    return steadyNow - duration_cast<ExchangeWatch::Clock::duration>(since);
}

// The resolution of file modification times (one kernel tick, 4 ms at 250 Hz).
ExchangeWatch::Clock::duration coarseTick() {
    timespec resolution{};
    if (::clock_getres(CLOCK_REALTIME_COARSE, &resolution) != 0) {
        return {};
    }
    return std::chrono::duration_cast<ExchangeWatch::Clock::duration>(
        std::chrono::seconds(resolution.tv_sec) + std::chrono::nanoseconds(resolution.tv_nsec));
}

} // namespace

int itemNumberOf(const std::string& head) {
    std::size_t begin = head.find_first_not_of(' ');
    if (begin == std::string::npos) {
        return -2;
    }
    int value = 0;
    const auto [end, error] =
        std::from_chars(head.data() + begin, head.data() + head.size(), value);
    return error == std::errc() ? value : -2;
}

ExchangeWatch::ExchangeWatch(std::filesystem::path folder) : m_folder(std::move(folder)) {
    m_fd = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    if (m_fd < 0) {
        return;
    }
    m_watch = ::inotify_add_watch(m_fd, m_folder.c_str(),
                                  IN_CREATE | IN_CLOSE_WRITE | IN_DELETE | IN_MOVED_TO);
    if (m_watch < 0) {
        return;
    }
    m_thread = std::thread([this] { run(); });
}

ExchangeWatch::~ExchangeWatch() {
    m_stop = true;
    if (m_thread.joinable()) {
        m_thread.join();
    }
    for (const auto& [name, file] : m_held) {
        ::close(file);
    }
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

std::vector<ExchangeWatch::Event> ExchangeWatch::events() const {
    const std::lock_guard lock(m_mutex);
    return m_events;
}

void ExchangeWatch::run() {
    // Told of an answer at once, the control program reads and deletes it within a ms. So each
    // file is opened as soon as it is made, before it is written, and read through that once
    // it is written whole, whether it is still there or not. This thread runs ahead of every
    // ordinary process where it may (as root), so it opens the file before the writer is done;
    // it only ever waits for the kernel's reports.
    sched_param priority{};
    priority.sched_priority = 1;
    ::pthread_setschedparam(::pthread_self(), SCHED_FIFO, &priority);
    alignas(inotify_event) std::array<char, 16384> buffer{};
    while (!m_stop) {
        pollfd ready{m_fd, POLLIN, 0};
        if (::poll(&ready, 1, 50) <= 0) {
            continue;
        }
        const ssize_t length = ::read(m_fd, buffer.data(), buffer.size());
        for (ssize_t offset = 0; offset < length;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer.data() + offset);
            offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            if (event->len == 0) {
                continue;
            }
            const std::string name = event->name;
            if ((event->mask & IN_DELETE) != 0) {
                record(Event::Kind::Deleted, name, -1);
                release(name);
                continue;
            }
            if ((event->mask & (IN_CREATE | IN_MOVED_TO)) != 0 || m_held.count(name) == 0) {
                release(name);
                m_held[name] = ::open((m_folder / name).c_str(), O_RDONLY | O_CLOEXEC);
            }
            if ((event->mask & (IN_CLOSE_WRITE | IN_MOVED_TO)) != 0) {
                record(Event::Kind::Written, name, m_held[name]);
            }
        }
    }
}

void ExchangeWatch::release(const std::string& name) {
    if (const auto held = m_held.find(name); held != m_held.end()) {
        if (held->second >= 0) {
            ::close(held->second);
        }
        m_held.erase(held);
    }
}

void ExchangeWatch::record(Event::Kind kind, const std::string& name, int file) {
    Event event;
    event.kind = kind;
    event.file = name;
    event.seen = Clock::now();
    event.written = event.seen;
    struct stat status {};
    if (file >= 0 && ::fstat(file, &status) == 0) {
        // The modification time comes from the kernel's coarse clock, at most one of its
        // ticks before the write; the write was over when the event was seen. The middle
        // of that span is the best guess.
        const Clock::time_point modified = steadyTimeOf(status.st_mtim);
        const Clock::time_point latest = std::min(event.seen, modified + coarseTick());
        event.written = latest < modified ? latest : modified + (latest - modified) / 2;
        std::array<char, 4096> chunk{};
        ssize_t got = 0;
        while ((got = ::pread(file, chunk.data(), chunk.size(),
                              static_cast<off_t>(event.bytes.size()))) > 0) {
            event.bytes.append(chunk.data(), static_cast<std::size_t>(got));
        }
        event.head = event.bytes.substr(0, event.bytes.find_first_of("\r\n"));
    }
    const std::lock_guard lock(m_mutex);
    m_events.push_back(std::move(event));
}

} // namespace lm::e2e
