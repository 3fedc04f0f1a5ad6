#include "SshShare.h"

#include "ChildProcess.h"
#include "Wait.h"

#include <QFileInfo>
#include <QStandardPaths>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lm::e2e {

namespace {

const QString sshd = QStringLiteral("/usr/sbin/sshd");

QString fusermount() {
    const QString three = QStandardPaths::findExecutable(QStringLiteral("fusermount3"));
    return three.isEmpty() ? QStandardPaths::findExecutable(QStringLiteral("fusermount")) : three;
}

// A loopback port nobody listens on just now.
int freePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof(address);
    int port = 0;
    if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
        port = ntohs(address.sin_port);
    }
    if (fd >= 0) {
        ::close(fd);
    }
    return port;
}

// Runs a short command to its end; its output on failure.
bool run(const QString& program, const QStringList& arguments, QString& output) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    const bool done = process.waitForFinished(15000);
    output = QString::fromLocal8Bit(process.readAll());
    return done && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

QString path(const std::filesystem::path& p) {
    return QString::fromStdString(p.string());
}

} // namespace

QString SshShare::missing() {
    QStringList lacking;
    if (!QFileInfo::exists(sshd)) {
        lacking << sshd;
    }
    for (const char* tool : {"sshfs", "ssh-keygen"}) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty()) {
            lacking << QString::fromLatin1(tool);
        }
    }
    if (fusermount().isEmpty()) {
        lacking << QStringLiteral("fusermount");
    }
    if (::access("/dev/fuse", R_OK | W_OK) != 0) {
        lacking << QStringLiteral("/dev/fuse");
    }
    return lacking.join(QStringLiteral(", "));
}

SshShare::SshShare() {
    if (missing().isEmpty()) {
        start();
    }
}

SshShare::~SshShare() {
    for (auto it = m_mounts.rbegin(); it != m_mounts.rend(); ++it) {
        QString output;
        run(fusermount(), {QStringLiteral("-u"), path(*it)}, output);
    }
    if (m_sshd.state() != QProcess::NotRunning) {
        m_sshd.terminate();
        if (!m_sshd.waitForFinished(3000)) {
            m_sshd.kill();
            m_sshd.waitForFinished(3000);
        }
    }
}

bool SshShare::fail(const QString& message) {
    m_error = message;
    return false;
}

bool SshShare::start() {
    if (!m_keys.isValid()) {
        return fail(QStringLiteral("no folder for the keys"));
    }
    QString output;
    for (const char* key : {"host", "user"}) {
        if (!run(QStringLiteral("ssh-keygen"),
                 {QStringLiteral("-q"), QStringLiteral("-t"), QStringLiteral("ed25519"),
                  QStringLiteral("-N"), QString(), QStringLiteral("-f"),
                  m_keys.filePath(QString::fromLatin1(key))},
                 output)) {
            return fail(QStringLiteral("ssh-keygen: ") + output);
        }
    }
    // sshd refuses to start without it; as root the test may make it.
    ::mkdir("/run/sshd", 0755);
    m_port = freePort();
    dieWithParent(m_sshd);
    m_sshd.setProcessChannelMode(QProcess::MergedChannels);
    m_sshd.start(
        sshd,
        {QStringLiteral("-D"), QStringLiteral("-e"), QStringLiteral("-p"), QString::number(m_port),
         QStringLiteral("-o"), QStringLiteral("ListenAddress=127.0.0.1"), QStringLiteral("-h"),
         m_keys.filePath(QStringLiteral("host")), QStringLiteral("-o"),
         QStringLiteral("AuthorizedKeysFile=") + m_keys.filePath(QStringLiteral("user.pub")),
         QStringLiteral("-o"), QStringLiteral("PidFile=none"), QStringLiteral("-o"),
         QStringLiteral("StrictModes=no")});
    if (!m_sshd.waitForStarted(5000)) {
        return fail(QStringLiteral("sshd did not start"));
    }
    return true;
}

bool SshShare::mount(const std::filesystem::path& folder, const std::filesystem::path& mountPoint) {
    if (m_sshd.state() != QProcess::Running) {
        return fail(m_error.isEmpty()
                        ? QStringLiteral("sshd ended: ") + QString::fromLocal8Bit(m_sshd.readAll())
                        : m_error);
    }
    std::error_code ignored;
    std::filesystem::create_directories(mountPoint, ignored);
    const passwd* user = ::getpwuid(::getuid());
    const QString remote = QString::fromLocal8Bit(user != nullptr ? user->pw_name : "root") +
                           QStringLiteral("@127.0.0.1:") + path(folder);
    const QStringList arguments{
        QStringLiteral("-p"),
        QString::number(m_port),
        QStringLiteral("-o"),
        QStringLiteral("IdentityFile=") + m_keys.filePath(QStringLiteral("user")) +
            QStringLiteral(",StrictHostKeyChecking=no,UserKnownHostsFile=/dev/null,BatchMode=yes,"
                           "LogLevel=ERROR,cache=no"),
        remote,
        path(mountPoint)};
    QString output;
    // sshd may still be on its way up.
    const bool mounted =
        waitUntil([&] { return run(QStringLiteral("sshfs"), arguments, output); }, 10000, 200);
    if (!mounted) {
        return fail(QStringLiteral("sshfs: ") + output);
    }
    m_mounts.push_back(mountPoint);
    return true;
}

} // namespace lm::e2e
