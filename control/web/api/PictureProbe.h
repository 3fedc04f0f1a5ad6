#pragma once

#include <string>
#include <string_view>

namespace lm {

// Reads a picture's format and dimensions from its header without decoding it, so that a
// picture whose pixels would not fit the decoder's limits (a tiny file that claims huge
// dimensions) is refused before anything decodes it. The program's one reads with Qt.
class PictureProbe {
public:
    struct Facts {
        std::string format; // "jpeg", "bmp", "gif"; empty: not a picture it can read
        int width = 0;
        int height = 0;
    };

    virtual ~PictureProbe() = default;
    virtual Facts inspect(std::string_view bytes) const = 0;
};

} // namespace lm
