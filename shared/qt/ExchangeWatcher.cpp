#include "ExchangeWatcher.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QtGlobal>
#include <array>
#include <cerrno>
#include <cstdio>
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
        tell("inotify_init1", errno);
        return;
    }
    const std::filesystem::path work = m_folder.parent_path();
    m_workWatch = ::inotify_add_watch(m_fd, work.c_str(), workEvents);
    if (m_workWatch < 0) {
        const int error = errno;
        tell(work.c_str(), error);
    }
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
    const int error = errno;
    // Missing or not a folder: it is watched when the working folder's watch says it is back.
    if (watch < 0 && error != ENOENT && error != ENOTDIR) {
        tell(m_folder.c_str(), error);
    }
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

void ExchangeWatcher::tell(const char* what, int error) {
    if (!m_problem.isEmpty()) {
        return;
    }
    m_problem =
        QStringLiteral("the Exchange folder cannot be watched (%1: %2); changes are "
                       "found by the polls alone")
            .arg(QString::fromLocal8Bit(what), QString::fromLocal8Bit(std::strerror(error)));
    std::fprintf(stderr, "%s: %s\n", qUtf8Printable(QCoreApplication::applicationName()),
                 qUtf8Printable(m_problem));
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
    const int error = errno;
    if (length < 0 && error != EAGAIN && error != EINTR) {
        // It would only fail again at every pass of the event loop.
        tell("read", error);
        m_notifier->setEnabled(false);
        dropFolderWatch();
        return;
    }
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
