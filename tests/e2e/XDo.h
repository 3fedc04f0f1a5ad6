#pragma once

#include <QByteArray>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QStringList>

namespace lm::e2e {

class XServer;

// The operator's mouse and keyboard on an X server, through xdotool; clicks and searches by
// name go to one of its screens.
class XDo {
public:
    explicit XDo(const XServer& server, int screen = 0);

    // Runs xdotool with the arguments; false when it fails or takes longer than ms.
    bool run(const QStringList& arguments, QByteArray* output = nullptr, int ms = 10000) const;

    // The first visible window of the process, or 0 when none shows within ms.
    quint64 waitForWindow(qint64 pid, int ms = 15000) const;
    // The first visible window of this screen with exactly this name, or 0.
    quint64 waitForWindow(const QString& name, int ms = 15000) const;
    qint64 windowPid(quint64 window) const;
    QString windowName(quint64 window) const;
    QRect windowGeometry(quint64 window) const;

    bool click(QPoint at, int button = 1) const;
    bool type(const QString& text) const;
    // Key names as xdotool knows them: "ctrl+a", "Return".
    bool key(const QString& keys) const;

private:
    quint64 waitForSearch(const QStringList& criteria, int ms) const;

    const XServer& m_server;
    int m_screen = 0;
};

} // namespace lm::e2e
