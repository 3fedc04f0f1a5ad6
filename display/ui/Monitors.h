#pragma once

#include <QList>
#include <QString>

class QScreen;

namespace lm {

// The monitors of this computer as the display program names them: by position counted from
// the left, by name, and by the key under which each remembers its display number.
class Monitors {
public:
    // From left to right (top to bottom where they stand in a column); in the toolkit's order
    // where they stand at the same place, as every screen of an Xvfb server does.
    static QList<QScreen*> fromLeft();
    // Position 1, 2, ... counted from the left.
    static int position(const QScreen* screen);
    // The monitor of that name, else the one at that position; nullptr when there is none or
    // when the name belongs to several monitors (see error).
    static QScreen* find(const QString& nameOrPosition, QString* error = nullptr);
    // The monitor under the mouse pointer, else the primary one.
    static QScreen* underPointer();
    // The name. Where several monitors share it (all screens of Xvfb are "screen"), the name
    // and the position: "screen 2".
    static QString key(const QScreen* screen);
    // "2 HDMI-1 1920x1080+1920+0": position, name and where it stands.
    static QString describe(const QScreen* screen);
};

} // namespace lm
