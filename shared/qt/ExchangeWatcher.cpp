#include "ExchangeWatcher.h"

#include <QSocketNotifier>
#include <QtGlobal>
#include <array>
#include <cstring>
#include <sys/inotify.h>
#include <system_error>
#include <unistd.h>

namespace lm {

namespace {

constexpr const char* folderName = "data";

// What the working folder tells about "data": made, removed, renamed, permissions changed.
constexpr std::uint32_t workEvents =
    IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ATTRIB | IN_ONLYDIR;
// A file written whole (closed after writing) or moved in; and the folder itself going away.
// Opening, reading, deleting and touching a file wake nobody.
constexpr std::uint32_t folderEvents =
    IN_CLOSE_WRITE | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

} // namespace

bool ExchangeWatcher::wanted() {
    return qEnvironmentVariable("LMSIGN_NOTIFY") != QLatin1String("off");
}

ExchangeWatcher::ExchangeWatcher(std::filesystem::path workDir, QObject* parent)
    : QObject(parent), m_folder(std::move(workDir) / folderName) {
    m_fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_fd < 0) {
        return;
    }
    m_workWatch = ::inotify_add_watch(m_fd, m_folder.parent_path().c_str(), workEvents);
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &ExchangeWatcher::readEvents);
    watchFolder();
}

ExchangeWatcher::~ExchangeWatcher() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

bool ExchangeWatcher::watchFolder() {
    const int watch = ::inotify_add_watch(m_fd, m_folder.c_str(), folderEvents);
    if (watch == m_folderWatch) {
        return false;
    }
    dropFolderWatch();
    m_folderWatch = watch;
    return m_folderWatch >= 0;
}

void ExchangeWatcher::dropFolderWatch() {
    if (m_folderWatch >= 0) {
        ::inotify_rm_watch(m_fd, m_folderWatch);
        m_folderWatch = -1;
    }
}

void ExchangeWatcher::addEveryFile(QStringList& names) const {
    std::error_code error;
    for (std::filesystem::directory_iterator it(m_folder, error), end; !error && it != end;
         it.increment(error)) {
        names << QString::fromStdString(it->path().filename().string());
    }
}

void ExchangeWatcher::readEvents() {
    alignas(inotify_event) std::array<char, 16384> buffer{};
    QStringList names;
    bool folderChanged = false;
    bool dropped = false;
    // Reports that do not fit come at the next pass of the event loop.
    const ssize_t length = ::read(m_fd, buffer.data(), buffer.size());
    for (ssize_t offset = 0; offset < length;) {
        const auto* event = reinterpret_cast<const inotify_event*>(buffer.data() + offset);
        offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        const char* name = event->len > 0 ? event->name : "";
        if ((event->mask & IN_Q_OVERFLOW) != 0) {
            dropped = true;
        } else if (event->wd == m_workWatch) {
            folderChanged = folderChanged || std::strcmp(name, folderName) == 0;
        } else if (event->wd == m_folderWatch && m_folderWatch >= 0) {
            if ((event->mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED | IN_UNMOUNT)) != 0) {
                // Moved away, the folder would still be watched wherever it went.
                dropFolderWatch();
                folderChanged = true;
            } else if (*name != '\0') {
                names << QString::fromUtf8(name);
            }
        }
    }
    // Files written before a new watch began, or whose reports the kernel dropped, would
    // otherwise wait for the polls.
    if ((folderChanged && watchFolder()) || (dropped && isWatching())) {
        addEveryFile(names);
    }
    names.removeDuplicates();
    if (!names.isEmpty()) {
        emit filesChanged(names);
    }
}

} // namespace lm
