#pragma once

#include <QFont>

namespace lm {

// The Gothic faces the windows are designed in, with the IPA faces standing in where the
// MS faces are missing (fontconfig maps "ＭＳ ゴシック" to nothing).
class JapaneseFont {
public:
    static QFont gothic(double points, bool bold = false);
    static QFont proportionalGothic(double points, bool bold = false);
    // Gothic at a pixel size, so that no DPI setting changes it.
    static QFont gothicPixels(int pixels);
};

} // namespace lm
