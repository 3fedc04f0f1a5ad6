#pragma once

#include "ExchangeFolder.h"

#include <string_view>

namespace lm {

enum class PictureCopyResult {
    Copied,   // the file now holds a fresh copy of the source
    SameFile, // the source already is the file in the Exchange folder: nothing to do
    Failed    // no readable source, or the copy could not be completed
};

// Copies a picture into the Exchange folder under its bare name, replacing a file of that name.
// A relative source is taken relative to the working folder. The copy goes through a temporary
// file in the Exchange folder, so a failed copy never damages a picture that is already there,
// and a picture is never copied onto itself.
PictureCopyResult copyPictureIntoExchange(std::string_view picturePath,
                                          const ExchangeFolder& exchange);

} // namespace lm
