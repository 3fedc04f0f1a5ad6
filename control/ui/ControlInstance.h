#pragma once

#include "ControlRequest.h"

#include <QObject>
#include <QString>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

class QLocalServer;
class QLocalSocket;

namespace lm {

// One control program per Exchange folder on this computer. The first LMControl holds a lock
// (flock, so the kernel lets go of it however the program ends, a kill included) and listens
// on a local socket beside it, in the user's runtime folder; a second one, or
// `LMControl --say`, sends it one request line and reads one reply line. Only the same user
// can connect.
class ControlInstance : public QObject {
    Q_OBJECT
public:
    // Sends the reply to the program that asked; once, now or later (an urgent message is
    // answered when the displays have shown it). Nothing once it has gone.
    using Reply = std::function<void(const ControlReply&)>;
    // Takes the request and answers it through `reply`, without blocking.
    using Handler = std::function<void(const ControlRequest&, Reply reply)>;

    // Where the lock and the socket go: XDG_RUNTIME_DIR, else the user's /run/user/<uid> (a
    // script of an alarm panel run by cron or a service has no XDG_RUNTIME_DIR, yet must find
    // the LMControl of the desktop session), else a private folder of the user's in /tmp.
    static QString runtimeFolder();

    // workDir: the working folder, whose data/ sub-folder is the Exchange folder; runtimeDir:
    // where the lock and the socket go.
    ControlInstance(const std::filesystem::path& workDir, const QString& runtimeDir,
                    QObject* parent = nullptr);
    ~ControlInstance() override;
    ControlInstance(const ControlInstance&) = delete;
    ControlInstance& operator=(const ControlInstance&) = delete;

    // Takes the lock; false when another LMControl of this Exchange folder has it.
    bool claim();
    // Takes requests from now on (after claim()); false when the socket cannot be made.
    bool listen(Handler handler);
    // Sends the request to the LMControl that holds the lock: its reply, or nothing when none
    // answered within ms. waitForStart: it holds the lock, so it will listen soon; otherwise a
    // socket that is not there means that none runs.
    std::optional<ControlReply> send(const ControlRequest& request, int ms,
                                     bool waitForStart = true) const;

    const QString& socketPath() const { return m_socketPath; }

private:
    void serve(QLocalSocket* socket);

    QString m_socketPath;
    QString m_lockPath;
    int m_lockFd = -1;
    QLocalServer* m_server = nullptr;
    Handler m_handler;
};

} // namespace lm
