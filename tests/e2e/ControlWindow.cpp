#include "ControlWindow.h"

#include "Clipboard.h"
#include "Program.h"
#include "Screenshot.h"
#include "Wait.h"
#include "XServer.h"

#include <QThread>
#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <xcb/xcb.h>

namespace lm::e2e {

namespace {

constexpr int twipsPerPixel = 15;
// The client area below the menu bar, and the strip of display cells below it, twips.
constexpr int clientHeightTwips = 8100;
constexpr int wallHeightTwips = 360;

struct Place {
    std::string_view name;
    QPoint container; // the frame the control stands in, twips from the client's corner
    QRect twips;
};

constexpr QPoint window(0, 0);
constexpr QPoint frame1(120, 0);
constexpr QPoint frame2(120, 6840);

const std::array places{
    Place{"Text1", frame1, {240, 720, 7695, 495}},
    Place{"cmdTextClear", frame1, {8400, 720, 1695, 495}},
    Place{"cmdClear", frame1, {8400, 1440, 1695, 495}},
    Place{"cmdText", frame1, {8400, 2400, 1695, 735}},
    Place{"ComboTForeColor", frame1, {1560, 1560, 1815, 360}},
    Place{"ComboTBackColor", frame1, {1560, 2280, 1815, 360}},
    Place{"lblInput", frame1, {5520, 1440, 2295, 1695}},
    Place{"cmdFileLoad", window, {1680, 3840, 1815, 495}},
    Place{"cmdFileSave", window, {4080, 3840, 1455, 495}},
    Place{"cmdDelete", window, {6600, 3840, 1695, 495}},
    Place{"cmdAllClear", window, {8520, 3840, 1695, 495}},
    Place{"Label9", window, {120, 4200, 3735, 375}},
    Place{"lblJobWrite", window, {3960, 4335, 6615, 225}},
    Place{"List1", window, {120, 4560, 10455, 2085}},
    Place{"lblDisplay", frame2, {120, 360, 1095, 375}},
    Place{"lblCon", frame2, {1440, 240, 855, 375}},
    Place{"lblNum", frame2, {1440, 720, 975, 255}},
    Place{"ComboTSpeed", window, {3960, 6840, 1455, 345}},
    Place{"ComboTMove", window, {3960, 7320, 1455, 315}},
    Place{"Check1", window, {5640, 7080, 1695, 615}},
    Place{"cmdDisplay", window, {7320, 6960, 1935, 855}},
    Place{"cmdStop", window, {9600, 6960, 975, 855}},
};

// The chooser's name box and "OK", twips from its client's corner.
constexpr QRect chooserName(3360, 3120, 2775, 375);
constexpr QRect chooserOk(4320, 3720, 2175, 615);

QPoint pixelCentre(const QRect& twips) {
    return {(twips.left() + twips.width() / 2) / twipsPerPixel,
            (twips.top() + twips.height() / 2) / twipsPerPixel};
}

// Gives the window time to act on one input before the next.
void settle(int ms = 100) {
    QThread::msleep(static_cast<unsigned long>(ms));
}

} // namespace

ControlWindow::ControlWindow(const XServer& server, const Program& program)
    : m_server(server), m_xdo(server), m_pid(program.pid()) {
    m_window = m_xdo.waitForWindow(m_pid);
    if (m_window == 0) {
        return;
    }
    m_frame = m_xdo.windowGeometry(m_window);
    // Where the client area begins, from the form itself: the label "ｺﾝﾋﾟｭｰﾀ" has a colour
    // of its own, so a bar added above or below the form cannot move the clicks.
    const QColor computerCyan(192, 255, 255);
    const QPoint lblCon(120 + 1440, 6840 + 240);
    QPoint found;
    const bool controlWindow = m_xdo.windowName(m_window) == QStringLiteral("制御機　ミラトス");
    waitUntil(
        [&] {
            const QImage shot = Screenshot::take(m_server).copy(m_frame);
            for (int y = 0; y < shot.height() && found.isNull(); ++y) {
                for (int x = 0; x < shot.width(); ++x) {
                    if (shot.pixelColor(x, y) == computerCyan) {
                        found = QPoint(x, y);
                        break;
                    }
                }
            }
            return !found.isNull();
        },
        controlWindow ? 5000 : 0, 100);
    m_menuBarHeight = found.isNull()
                          ? m_frame.height() - (clientHeightTwips + wallHeightTwips) / twipsPerPixel
                          : found.y() - lblCon.y() / twipsPerPixel;
}

QRect ControlWindow::rectOf(std::string_view control) const {
    // lblWall1 ... lblWall16: sixteen cells over the width of the list, below the client area.
    if (control.starts_with("lblWall")) {
        const int n = std::stoi(std::string(control.substr(7)));
        return QRect((120 + (n - 1) * 653) / twipsPerPixel,
                     (clientHeightTwips + 30) / twipsPerPixel, 623 / twipsPerPixel,
                     300 / twipsPerPixel)
            .translated(m_frame.topLeft() + QPoint(0, m_menuBarHeight));
    }
    for (const Place& place : places) {
        if (place.name == control) {
            const QRect twips = place.twips.translated(place.container);
            return QRect(twips.left() / twipsPerPixel, twips.top() / twipsPerPixel,
                         twips.width() / twipsPerPixel, twips.height() / twipsPerPixel)
                .translated(m_frame.topLeft() + QPoint(0, m_menuBarHeight));
        }
    }
    qFatal("no such control: %s", std::string(control).c_str());
}

bool ControlWindow::click(std::string_view control) const {
    const bool clicked = m_xdo.click(rectOf(control).center());
    settle();
    return clicked;
}

bool ControlWindow::typeInto(std::string_view control, const QString& text) const {
    // xdotool types a character outside the keyboard's layout by mapping it to a spare key for
    // the moment of the key press; typed fast, the window may read the mapping too late and
    // drop the character. A slow pace gives it the time.
    const QStringList slowly{QStringLiteral("type"), QStringLiteral("--delay"),
                             QStringLiteral("300"), text};
    const bool typed =
        click(control) && m_xdo.key(QStringLiteral("ctrl+a")) &&
        (text.isEmpty() ? m_xdo.key(QStringLiteral("BackSpace")) : m_xdo.run(slowly));
    settle();
    return typed;
}

bool ControlWindow::pickFromList(std::string_view combo, int index) const {
    if (!click(combo) || !m_xdo.key(QStringLiteral("alt+Down"))) {
        return false;
    }
    settle(200);
    bool picked = m_xdo.key(QStringLiteral("Home"));
    for (int i = 0; i < index && picked; ++i) {
        picked = m_xdo.key(QStringLiteral("Down"));
    }
    picked = picked && m_xdo.key(QStringLiteral("Return"));
    settle();
    return picked;
}

bool ControlWindow::selectLine(int line) const {
    const QRect list = rectOf("List1");
    bool selected = m_xdo.click(list.topLeft() + QPoint(list.width() / 2, 10));
    for (int i = 0; i < line && selected; ++i) {
        selected = m_xdo.key(QStringLiteral("Down"));
    }
    settle();
    return selected;
}

bool ControlWindow::focusWindow() const {
    // A click on a label: the window takes the keyboard, and nothing else happens.
    return click("Label9");
}

bool ControlWindow::chooseMenuItem(Menu menu, int item) const {
    if (!focusWindow() || !m_xdo.key(QStringLiteral("F10"))) {
        return false;
    }
    settle(200);
    // F10 opens "ファイル" with no item marked; Right moves on to "終了" with its first item
    // marked.
    int downs = item + 1;
    if (menu == Menu::End) {
        if (!m_xdo.key(QStringLiteral("Right"))) {
            return false;
        }
        settle(200);
        downs = item;
    }
    for (int i = 0; i < downs; ++i) {
        if (!m_xdo.key(QStringLiteral("Down"))) {
            return false;
        }
    }
    const bool chosen = m_xdo.key(QStringLiteral("Return"));
    settle(300);
    return chosen;
}

bool ControlWindow::answerMessageBox() const {
    const bool answered = m_xdo.key(QStringLiteral("Return"));
    settle(300);
    return answered;
}

bool ControlWindow::clickCloseBox() const {
    xcb_connection_t* connection = xcb_connect(m_server.display().toLatin1().constData(), nullptr);
    const auto atom = [connection](const char* name) {
        std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
            xcb_intern_atom_reply(
                connection,
                xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(name)), name),
                nullptr),
            &std::free);
        return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    };
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = static_cast<xcb_window_t>(m_window);
    event.type = atom("WM_PROTOCOLS");
    event.data.data32[0] = atom("WM_DELETE_WINDOW");
    event.data.data32[1] = XCB_CURRENT_TIME;
    const bool sent =
        xcb_connection_has_error(connection) == 0 && event.type != XCB_ATOM_NONE &&
        xcb_request_check(
            connection, xcb_send_event_checked(connection, 0, event.window, XCB_EVENT_MASK_NO_EVENT,
                                               reinterpret_cast<const char*>(&event))) == nullptr;
    xcb_disconnect(connection);
    settle(300);
    return sent;
}

QString ControlWindow::messageBoxText(const QString& title, int ms) const {
    if (!waitUntil([&] { return windowNamed(title) != 0; }, ms, 50) ||
        !m_xdo.key(QStringLiteral("ctrl+c"))) {
        return {};
    }
    settle();
    return Clipboard::text(m_server);
}

QString ControlWindow::copyText(std::string_view control) const {
    if (!click(control) || !m_xdo.key(QStringLiteral("ctrl+a")) ||
        !m_xdo.key(QStringLiteral("ctrl+c"))) {
        return {};
    }
    settle();
    return Clipboard::text(m_server);
}

quint64 ControlWindow::windowNamed(const QString& caption) const {
    QByteArray output;
    if (!m_xdo.run({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                    QStringLiteral("--pid"), QString::number(m_pid)},
                   &output)) {
        return 0;
    }
    for (const QByteArray& line : output.split('\n')) {
        const quint64 window = line.trimmed().toULongLong();
        if (window != 0 && m_xdo.windowName(window) == caption) {
            return window;
        }
    }
    return 0;
}

bool ControlWindow::answerChooser(const QString& caption, const QString& name, int ms) const {
    quint64 chooser = 0;
    if (!waitUntil([&] { return (chooser = windowNamed(caption)) != 0; }, ms, 50)) {
        return false;
    }
    const QPoint corner = m_xdo.windowGeometry(chooser).topLeft();
    if (!m_xdo.click(corner + pixelCentre(chooserName)) || !m_xdo.key(QStringLiteral("ctrl+a")) ||
        !m_xdo.type(name)) {
        return false;
    }
    settle();
    if (!m_xdo.click(corner + pixelCentre(chooserOk))) {
        return false;
    }
    return waitUntil([&] { return windowNamed(caption) == 0; }, ms, 50);
}

QImage ControlWindow::grab(std::string_view control) const {
    return Screenshot::take(m_server).copy(rectOf(control));
}

} // namespace lm::e2e
