#pragma once

#include <QString>

namespace lm::e2e {

class XServer;

// The text that a program on the X server has put on its clipboard (the CLIPBOARD selection),
// asked for as UTF-8. The tests read what the operator would copy: a message box's text
// (Ctrl+C in a message box copies its title, text and buttons) or a text box's contents.
class Clipboard {
public:
    // The clipboard's text, or nothing (a null QString) when no program owns the clipboard or
    // the owner does not answer within ms.
    static QString text(const XServer& server, int ms = 3000);
};

} // namespace lm::e2e
