#pragma once

#include "XDo.h"

#include <QImage>
#include <QRect>
#include <QString>
#include <string_view>

namespace lm::e2e {

class Program;
class XServer;

// The operator's hands on LMControl's window: controls are found by their designed places
// (twips, 15 to a pixel, below the menu bar), clicked and typed into with xdotool, and the
// menus are opened from the keyboard.
class ControlWindow {
public:
    enum class Menu { File, End };

    // Waits for the window of the running program.
    ControlWindow(const XServer& server, const Program& program);

    bool isShown() const { return m_window != 0; }
    QString caption() const { return m_xdo.windowName(m_window); }
    QRect frame() const { return m_frame; }
    int menuBarHeight() const { return m_menuBarHeight; }

    // Where the control stands on the screen.
    QRect rectOf(std::string_view control) const;
    bool click(std::string_view control) const;
    // Clicks into a text box or an editable list, selects what it holds and types the text,
    // slowly (a character outside the keyboard's layout needs a moment each).
    bool typeInto(std::string_view control, const QString& text) const;
    // Opens the list's entries from the keyboard and picks entry `index` (0 is the first).
    bool pickFromList(std::string_view combo, int index) const;
    // Selects line `line` of List1: a click on the first line, then the arrow keys.
    bool selectLine(int line) const;
    // Opens the menu from the keyboard (F10, then the arrow keys) and chooses its item `item`,
    // counted without separators.
    bool chooseMenuItem(Menu menu, int item) const;
    // Answers the message box that is open with its default button (Enter).
    bool answerMessageBox() const;
    // What a window manager does when its close box is clicked: asks the window to close
    // (WM_DELETE_WINDOW).
    bool clickCloseBox() const;
    // True when a window of the program with that caption (a message box's title) is shown.
    bool isWindowShown(const QString& caption) const { return windowNamed(caption) != 0; }
    // Waits for the message box with that title and copies its text as the operator can
    // (Ctrl+C): the title, the text and the buttons, each between lines of dashes. A null
    // QString when no such box shows within ms.
    QString messageBoxText(const QString& title, int ms = 5000) const;
    // What a text box or editable list holds, copied from it (a click, Ctrl+A, Ctrl+C).
    QString copyText(std::string_view control) const;
    // Waits for the chooser with that caption, types the name into its name box and presses
    // "OK"; true when the chooser has closed again.
    bool answerChooser(const QString& caption, const QString& name, int ms = 5000) const;
    // A screenshot of the control.
    QImage grab(std::string_view control) const;

private:
    // The visible window of the program with that caption, or 0.
    quint64 windowNamed(const QString& caption) const;
    bool focusWindow() const;

    const XServer& m_server;
    XDo m_xdo;
    qint64 m_pid = 0;
    quint64 m_window = 0;
    QRect m_frame;
    int m_menuBarHeight = 0;
};

} // namespace lm::e2e
