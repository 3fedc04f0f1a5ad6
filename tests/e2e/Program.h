#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <filesystem>

namespace lm::e2e {

class XServer;

// One real program on an X server, started in a working folder; killed when the object goes.
// Its standard output and error are kept for a failing test's message.
class Program {
public:
    // Unprivileged: as the user "nobody" when the test runs as root (see ChildProcess.h).
    enum class User { Caller, Unprivileged };

    Program(const QString& path, const std::filesystem::path& workDir, const XServer& server,
            const QStringList& arguments = {}, User user = User::Caller);
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    bool isRunning() const { return m_process.state() == QProcess::Running; }
    qint64 pid() const { return m_process.processId(); }
    // True when the program has ended within ms.
    bool waitForExit(int ms);
    int exitCode() const { return m_process.exitCode(); }
    bool crashed() const { return m_process.exitStatus() == QProcess::CrashExit; }
    QString output();
    void kill();

private:
    QProcess m_process;
    QString m_output;
};

} // namespace lm::e2e
