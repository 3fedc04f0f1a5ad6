#pragma once

#include "Program.h"
#include "XServer.h"

#include <QString>
#include <filesystem>
#include <memory>

namespace lm::e2e {

// One display computer: a screen of its own (an X server) with a Velisto on it, started in the
// working folder and given its display number in its start-up panel, as the operator does.
class SignScreen {
public:
    // Starts the server and the program and chooses the number; see isReady() and error().
    SignScreen(const QString& velistoPath, int number, const std::filesystem::path& workDir);

    bool isReady() const { return m_ready; }
    const QString& error() const { return m_error; }
    int number() const { return m_number; }
    XServer& server() { return *m_server; }
    const XServer& server() const { return *m_server; }
    Program& program() { return *m_program; }

private:
    int m_number = 0;
    bool m_ready = false;
    QString m_error;
    std::unique_ptr<XServer> m_server;
    std::unique_ptr<Program> m_program;
};

} // namespace lm::e2e
