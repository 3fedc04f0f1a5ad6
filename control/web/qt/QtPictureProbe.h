#pragma once

#include "PictureProbe.h"

namespace lm {

// Reads a picture's header with QImageReader, as the display program does, without
// decoding its pixels; a picture within the limits is then decoded at a small size, so that a
// damaged file that only starts like a picture is found too.
class QtPictureProbe : public PictureProbe {
public:
    Facts inspect(std::string_view bytes) const override;
};

} // namespace lm
