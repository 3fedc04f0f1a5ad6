#include "ControlInstance.h"

#include "PathKey.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QThread>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace lm {

namespace {

constexpr qint64 longestRequest = 64 * 1024;

// The user on the other end of a local socket is this process's user.
bool isSameUser(const QLocalSocket& socket) {
    ucred peer{};
    socklen_t size = sizeof(peer);
    return ::getsockopt(static_cast<int>(socket.socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &peer,
                        &size) == 0 &&
           peer.uid == ::getuid();
}

} // namespace

QString ControlInstance::runtimeFolder() {
    if (const QString set = qEnvironmentVariable("XDG_RUNTIME_DIR"); !set.isEmpty()) {
        return set;
    }
    const uid_t user = ::getuid();
    const QFileInfo session(QStringLiteral("/run/user/%1").arg(user));
    if (session.isDir() && session.ownerId() == user) {
        return session.filePath();
    }
    const QString own = QDir::tempPath() + QStringLiteral("/lmsign-runtime-%1").arg(user);
    // Made private; one that someone else made is not used.
    ::mkdir(QFile::encodeName(own).constData(), 0700);
    const QFileInfo made(own);
    return made.isDir() && !made.isSymLink() && made.ownerId() == user &&
                   (made.permissions() & (QFileDevice::ReadOther | QFileDevice::WriteOther |
                                          QFileDevice::ReadGroup | QFileDevice::WriteGroup)) == 0
               ? own
               : QString();
}

ControlInstance::ControlInstance(const std::filesystem::path& workDir, const QString& runtimeDir,
                                 QObject* parent)
    : QObject(parent) {
    std::error_code error;
    std::filesystem::path folder = std::filesystem::weakly_canonical(workDir / "data", error);
    if (error) {
        folder = workDir / "data";
    }
    if (runtimeDir.isEmpty()) {
        return; // no lock and no socket: every program runs on its own, as before there were any
    }
    const QString base =
        QDir(runtimeDir)
            .filePath(QStringLiteral("lmcontrol-") + QString::fromStdString(pathKey(folder)));
    m_socketPath = base + QStringLiteral(".sock");
    m_lockPath = base + QStringLiteral(".lock");
}

ControlInstance::~ControlInstance() {
    if (m_server != nullptr) {
        m_server->close();
    }
    if (m_lockFd >= 0) {
        ::close(m_lockFd);
    }
}

bool ControlInstance::claim() {
    if (m_lockFd >= 0 || m_lockPath.isEmpty()) {
        return true;
    }
    const QByteArray path = QFile::encodeName(m_lockPath);
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        // Without a runtime folder no lock can be had: run, as before there was one.
        return true;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    m_lockFd = fd;
    return true;
}

bool ControlInstance::listen(Handler handler) {
    m_handler = std::move(handler);
    if (m_socketPath.isEmpty()) {
        return false;
    }
    // The lock is ours: a socket file left there belongs to a program that was killed.
    QLocalServer::removeServer(m_socketPath);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            if (!isSameUser(*socket)) {
                socket->abort();
                continue;
            }
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] { serve(socket); });
        }
    });
    return m_server->listen(m_socketPath);
}

void ControlInstance::serve(QLocalSocket* socket) {
    if (!socket->canReadLine()) {
        if (socket->bytesAvailable() > longestRequest) {
            socket->abort();
        }
        return;
    }
    // One request a connection.
    disconnect(socket, &QLocalSocket::readyRead, this, nullptr);
    const QByteArray line = socket->readLine(longestRequest).trimmed();
    const QPointer<QLocalSocket> asker(socket);
    const Reply reply = [asker](const ControlReply& answer) {
        if (asker.isNull() || asker->state() != QLocalSocket::ConnectedState) {
            return;
        }
        asker->write(QByteArray::fromStdString(answer.encode() + "\n"));
        asker->flush();
        asker->disconnectFromServer();
    };
    if (const std::optional<ControlRequest> request = ControlRequest::parse(line.toStdString())) {
        m_handler(*request, reply);
    } else {
        reply({ControlReply::Status::Refused, "not a request this program knows"});
    }
}

std::optional<ControlReply> ControlInstance::send(const ControlRequest& request, int ms,
                                                  bool waitForStart) const {
    if (m_socketPath.isEmpty()) {
        return std::nullopt;
    }
    QElapsedTimer clock;
    clock.start();
    QLocalSocket socket;
    // The one that holds the lock may not listen yet: it has just started.
    for (;;) {
        socket.connectToServer(m_socketPath);
        if (socket.waitForConnected(std::max<qint64>(1, ms - clock.elapsed()))) {
            break;
        }
        if (!waitForStart || clock.elapsed() >= ms) {
            return std::nullopt;
        }
        QThread::msleep(50);
    }
    socket.write(QByteArray::fromStdString(request.encode() + "\n"));
    socket.flush();
    while (!socket.canReadLine()) {
        const qint64 left = ms - clock.elapsed();
        if (left <= 0 || !socket.waitForReadyRead(static_cast<int>(left))) {
            return std::nullopt;
        }
    }
    return ControlReply::parse(socket.readLine(longestRequest).trimmed().toStdString());
}

} // namespace lm
