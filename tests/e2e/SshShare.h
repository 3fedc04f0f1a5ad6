#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <filesystem>

namespace lm::e2e {

// A real network share on this machine: sshd on a free loopback port with throwaway keys, and
// sshfs mounts (no cache) of a folder through it. Changes made through one mount are not
// reported on another, as between computers. Unmounted and stopped when the object goes.
class SshShare {
public:
    SshShare();
    ~SshShare();
    // What this machine lacks for a share (makes sshd's /run/sshd); empty when nothing.
    static QString missing();
    // Mounts the folder at the mount point (made when missing); false, see error(), on failure.
    bool mount(const std::filesystem::path& folder, const std::filesystem::path& mountPoint);
    const QString& error() const { return m_error; }

private:
    QTemporaryDir m_keys;
    QProcess m_sshd;
    int m_port = 0;
    QStringList m_mounts;
    QString m_error;
};

} // namespace lm::e2e
