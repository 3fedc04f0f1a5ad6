#include "XDo.h"

#include "Wait.h"
#include "XServer.h"

#include <QProcess>

namespace lm::e2e {

XDo::XDo(const XServer& server, int screen) : m_server(server), m_screen(screen) {}

bool XDo::run(const QStringList& arguments, QByteArray* output, int ms) const {
    QProcess process;
    process.setProcessEnvironment(m_server.environment());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(QStringLiteral("xdotool"), arguments);
    if (!process.waitForFinished(ms)) {
        process.kill();
        process.waitForFinished(1000);
        return false;
    }
    if (output != nullptr) {
        *output = process.readAllStandardOutput();
    }
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

quint64 XDo::waitForWindow(qint64 pid, int ms) const {
    return waitForSearch({QStringLiteral("--pid"), QString::number(pid)}, ms);
}

quint64 XDo::waitForWindow(const QString& name, int ms) const {
    return waitForSearch({QStringLiteral("--screen"), QString::number(m_screen),
                          QStringLiteral("--name"), QLatin1Char('^') + name + QLatin1Char('$')},
                         ms);
}

// Searches again until a window is found, rather than once with --sync: xdotool gives up at the
// first X error, which a window that goes away in the middle of the search causes.
quint64 XDo::waitForSearch(const QStringList& criteria, int ms) const {
    quint64 window = 0;
    waitUntil(
        [&] {
            QByteArray output;
            if (run(QStringList{QStringLiteral("search"), QStringLiteral("--onlyvisible")} +
                        criteria,
                    &output)) {
                window = output.split('\n').value(0).trimmed().toULongLong();
            }
            return window != 0;
        },
        ms, 50);
    return window;
}

qint64 XDo::windowPid(quint64 window) const {
    QByteArray output;
    if (!run({QStringLiteral("getwindowpid"), QString::number(window)}, &output)) {
        return 0;
    }
    return output.trimmed().toLongLong();
}

QString XDo::windowName(quint64 window) const {
    QByteArray output;
    if (!run({QStringLiteral("getwindowname"), QString::number(window)}, &output)) {
        return {};
    }
    return QString::fromUtf8(output).trimmed();
}

QRect XDo::windowGeometry(quint64 window) const {
    QByteArray output;
    if (!run({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"),
              QString::number(window)},
             &output)) {
        return {};
    }
    QRect geometry;
    for (const QByteArray& line : output.split('\n')) {
        const QList<QByteArray> pair = line.split('=');
        if (pair.size() != 2) {
            continue;
        }
        const int value = pair[1].trimmed().toInt();
        if (pair[0] == "X") {
            geometry.moveLeft(value);
        } else if (pair[0] == "Y") {
            geometry.moveTop(value);
        } else if (pair[0] == "WIDTH") {
            geometry.setWidth(value);
        } else if (pair[0] == "HEIGHT") {
            geometry.setHeight(value);
        }
    }
    return geometry;
}

bool XDo::click(QPoint at, int button) const {
    return run({QStringLiteral("mousemove"), QStringLiteral("--screen"), QString::number(m_screen),
                QString::number(at.x()), QString::number(at.y()), QStringLiteral("click"),
                QString::number(button)});
}

bool XDo::type(const QString& text) const {
    return run({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("20"), text});
}

bool XDo::key(const QString& keys) const {
    return run({QStringLiteral("key"), keys});
}

} // namespace lm::e2e
