#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <filesystem>
#include <vector>

namespace lm::e2e {

// A real network share on this machine: sshd on a free loopback port with throwaway keys, and
// sshfs mounts of a folder through it, without cache, so every read and write goes over the
// wire. Changes made through one mount are not reported on another, as between computers.
//
//   SshShare share;
//   if (!SshShare::missing().isEmpty()) QSKIP(...);
//   QVERIFY2(share.mount(work / "data", displayWork / "data"), qPrintable(share.error()));
//
// Everything is unmounted and sshd stopped when the object goes; sshd also dies with the test.
class SshShare {
public:
    SshShare();
    ~SshShare();
    SshShare(const SshShare&) = delete;
    SshShare& operator=(const SshShare&) = delete;

    // What this machine lacks for a share (sshd, sshfs, fusermount, FUSE); empty when nothing.
    static QString missing();
    const QString& error() const { return m_error; }

    // Mounts the folder at the mount point, made when missing. False (see error()) on failure.
    bool mount(const std::filesystem::path& folder, const std::filesystem::path& mountPoint);

private:
    bool start();
    bool fail(const QString& message);

    QTemporaryDir m_keys;
    QProcess m_sshd;
    int m_port = 0;
    std::vector<std::filesystem::path> m_mounts;
    QString m_error;
};

} // namespace lm::e2e
