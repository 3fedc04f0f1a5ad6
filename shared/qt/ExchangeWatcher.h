#pragma once

#include <QObject>
#include <QStringList>
#include <filesystem>

class QSocketNotifier;

namespace lm {

// Tells at once of every file written into the Exchange folder "data" under a working folder,
// as the kernel reports it (inotify): a file closed after writing, or moved in. Changes made
// on another computer of a network share are not reported; the programs' polls find those.
// The reports come from the event loop, so never inside a handler; all that came in since the
// last look (a burst, or reports that waited for a tick to end) come as one batch, each name
// once.
//
// It watches the working folder as well, so a "data" that is missing, removed, replaced,
// renamed, unreadable or not a folder is watched again as soon as it is back; every file
// already in it is then reported, as is every file after the kernel dropped reports.
class ExchangeWatcher : public QObject {
    Q_OBJECT
public:
    // LMSIGN_NOTIFY=off runs a program on its polls alone; unset or any other value watches.
    static bool wanted();

    explicit ExchangeWatcher(std::filesystem::path workDir, QObject* parent = nullptr);
    ~ExchangeWatcher() override;
    ExchangeWatcher(const ExchangeWatcher&) = delete;
    ExchangeWatcher& operator=(const ExchangeWatcher&) = delete;

    // The Exchange folder itself is watched now.
    bool isWatching() const { return m_folderWatch >= 0; }
    // Why the folder cannot be watched (the kernel refused a watch or its reports), empty when
    // nothing went wrong. A "data" that is merely missing or not a folder is no problem: it is
    // watched as soon as it is there. The programs then go on on their polls alone; the first
    // problem is printed once on standard error.
    const QString& problem() const { return m_problem; }

signals:
    // The bare names of files in the Exchange folder, each once.
    void filesChanged(const QStringList& names);

private:
    void readEvents();
    // Watches "data" when it is a folder that can be watched; true when that folder is new to
    // the watch.
    bool watchFolder();
    void dropFolderWatch();
    void addEveryFile(QStringList& names) const;
    void tell(const char* what, int error);

    std::filesystem::path m_folder;
    int m_fd = -1;
    int m_workWatch = -1;
    int m_folderWatch = -1;
    QSocketNotifier* m_notifier = nullptr;
    QString m_problem;
};

} // namespace lm
