#include "SshShare.h"

#include "ChildProcess.h"
#include "Wait.h"

#include <QDir>
#include <QStandardPaths>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace lm::e2e {

namespace {

QString tool(const QString& name) {
    return QStandardPaths::findExecutable(name, {"/usr/sbin", "/usr/bin"});
}

// Runs a short command to its end; false, with what it said in `output`, on failure.
bool run(const QString& program, const QStringList& arguments, QString& output) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(tool(program), arguments);
    const bool done = process.waitForFinished(15000) && process.exitCode() == 0;
    output = program + ": " + QString::fromLocal8Bit(process.readAll());
    return done;
}

// A loopback port nobody listens on just now.
int freePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t size = sizeof(address);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), size);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    ::close(fd);
    return ntohs(address.sin_port);
}

} // namespace

QString SshShare::missing() {
    QStringList lacking;
    for (const char* name : {"sshd", "sshfs", "ssh-keygen", "fusermount3"}) {
        lacking << (tool(name).isEmpty() ? QString(name) : QString());
    }
    lacking << (::access("/dev/fuse", R_OK | W_OK) != 0 ? "/dev/fuse" : "");
    // sshd will not start without it; made here when the test may.
    lacking << (QDir().mkpath("/run/sshd") ? "" : "/run/sshd");
    lacking.removeAll(QString());
    return lacking.join(", ");
}

SshShare::SshShare() {
    if (!missing().isEmpty()) {
        return;
    }
    for (const char* key : {"host", "user"}) {
        if (!run("ssh-keygen", {"-q", "-t", "ed25519", "-N", "", "-f", m_keys.filePath(key)},
                 m_error)) {
            return;
        }
    }
    m_port = freePort();
    dieWithParent(m_sshd);
    m_sshd.setProcessChannelMode(QProcess::MergedChannels);
    m_sshd.start(tool("sshd"), {"-D", "-e", "-p", QString::number(m_port), "-h",
                                m_keys.filePath("host"), "-o", "ListenAddress=127.0.0.1", "-o",
                                "AuthorizedKeysFile=" + m_keys.filePath("user.pub"), "-o",
                                "PidFile=none", "-o", "StrictModes=no"});
    m_sshd.waitForStarted(5000);
    m_error.clear();
}

SshShare::~SshShare() {
    for (const QString& mountPoint : m_mounts) {
        run("fusermount3", {"-u", mountPoint}, m_error);
    }
    m_sshd.kill();
    m_sshd.waitForFinished(3000);
}

bool SshShare::mount(const std::filesystem::path& folder, const std::filesystem::path& mountPoint) {
    std::error_code ignored;
    std::filesystem::create_directories(mountPoint, ignored);
    const QStringList arguments{
        "-p",
        QString::number(m_port),
        "-o",
        "IdentityFile=" + m_keys.filePath("user") +
            ",StrictHostKeyChecking=no,UserKnownHostsFile=/dev/null,BatchMode=yes,cache=no",
        QString::fromLocal8Bit(::getpwuid(::getuid())->pw_name) +
            "@127.0.0.1:" + QString::fromStdString(folder),
        QString::fromStdString(mountPoint)};
    // sshd may still be on its way up.
    if (m_sshd.state() != QProcess::Running ||
        !waitUntil([&] { return run("sshfs", arguments, m_error); }, 10000, 200)) {
        m_error += QString::fromLocal8Bit(m_sshd.readAll());
        return false;
    }
    m_mounts << QString::fromStdString(mountPoint);
    return true;
}

} // namespace lm::e2e
