#include "ExchangeWatch.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <fcntl.h>
#include <iterator>
#include <poll.h>
#include <sys/fanotify.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

namespace lm::e2e {

namespace {

// Steady time of a modification time, through the offset between the two clocks. One offset
// for the whole run: files modified within the same tick of the coarse clock (an answer and
// the job it released) must keep their order, which an offset taken anew each time can swap.
ExchangeWatch::Clock::time_point steadyTimeOf(const timespec& modified) {
    using namespace std::chrono;
    static const auto offset =
        ExchangeWatch::Clock::now().time_since_epoch() -
        duration_cast<ExchangeWatch::Clock::duration>(system_clock::now().time_since_epoch());
    return ExchangeWatch::Clock::time_point(
        offset + duration_cast<ExchangeWatch::Clock::duration>(seconds(modified.tv_sec) +
                                                               nanoseconds(modified.tv_nsec)));
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
    // fanotify (as root) opens each written file for the watch as the writer closes it, so
    // what was written can be read even after the file is gone.
    m_fanotify = ::fanotify_init(FAN_CLASS_NOTIF | FAN_CLOEXEC | FAN_NONBLOCK,
                                 O_RDONLY | O_CLOEXEC | O_LARGEFILE);
    if (m_fanotify >= 0 &&
        ::fanotify_mark(m_fanotify, FAN_MARK_ADD, FAN_CLOSE_WRITE | FAN_EVENT_ON_CHILD, AT_FDCWD,
                        m_folder.c_str()) != 0) {
        ::close(m_fanotify);
        m_fanotify = -1;
    }
    m_watch = ::inotify_add_watch(m_fd, m_folder.c_str(),
                                  IN_DELETE | IN_MOVED_TO | (m_fanotify < 0 ? IN_CLOSE_WRITE : 0));
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
    for (const int fd : {m_fanotify, m_fd}) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

std::vector<ExchangeWatch::Event> ExchangeWatch::events() const {
    const std::lock_guard lock(m_mutex);
    return m_events;
}

void ExchangeWatch::run() {
    while (!m_stop) {
        std::array<pollfd, 2> watched{{{m_fanotify, POLLIN, 0}, {m_fd, POLLIN, 0}}};
        if (::poll(watched.data(), watched.size(), 50) > 0) {
            // Writes first: a file is deleted only after it was written.
            readWrites();
            readNames();
        }
        handOver(false);
    }
    handOver(true);
}

void ExchangeWatch::readWrites() {
    if (m_fanotify < 0) {
        return;
    }
    alignas(fanotify_event_metadata) std::array<char, 4096> buffer{};
    const ssize_t length = ::read(m_fanotify, buffer.data(), buffer.size());
    for (ssize_t offset = 0;
         offset + static_cast<ssize_t>(sizeof(fanotify_event_metadata)) <= length;) {
        const auto* event =
            reinterpret_cast<const fanotify_event_metadata*>(buffer.data() + offset);
        offset += static_cast<ssize_t>(event->event_len);
        if (event->vers != FANOTIFY_METADATA_VERSION || event->event_len == 0) {
            break;
        }
        if (event->fd < 0) {
            continue;
        }
        // The file's name as it is now, with " (deleted)" once it is gone.
        std::array<char, 4096> target{};
        const std::string link = "/proc/self/fd/" + std::to_string(event->fd);
        const ssize_t size = ::readlink(link.c_str(), target.data(), target.size() - 1);
        std::string name =
            std::filesystem::path(std::string(target.data(), size > 0 ? size : 0)).filename();
        if (const std::string gone = " (deleted)"; name.ends_with(gone)) {
            name.resize(name.size() - gone.size());
        }
        record(Event::Kind::Written, name, event->fd);
        ::close(event->fd);
    }
}

void ExchangeWatch::readNames() {
    alignas(inotify_event) std::array<char, 16384> buffer{};
    const ssize_t length = ::read(m_fd, buffer.data(), buffer.size());
    for (ssize_t offset = 0; offset < length;) {
        const auto* event = reinterpret_cast<const inotify_event*>(buffer.data() + offset);
        offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        if (event->len == 0) {
            continue;
        }
        if ((event->mask & IN_DELETE) != 0) {
            record(Event::Kind::Deleted, event->name, -1);
            continue;
        }
        // Without fanotify an answer may be gone by now: it is recorded without its bytes.
        const int file = ::open((m_folder / event->name).c_str(), O_RDONLY | O_CLOEXEC);
        record(Event::Kind::Written, event->name, file);
        if (file >= 0) {
            ::close(file);
        }
    }
}

void ExchangeWatch::handOver(bool wait) {
    std::unique_lock lock(m_mutex, std::defer_lock);
    if (wait) {
        lock.lock();
    } else if (!lock.try_lock()) {
        return;
    }
    std::move(m_recorded.begin(), m_recorded.end(), std::back_inserter(m_events));
    m_recorded.clear();
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
    m_recorded.push_back(std::move(event));
}

} // namespace lm::e2e
