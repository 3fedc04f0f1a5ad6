#pragma once

#include "ExchangeFolder.h"

#include <string_view>

namespace lm {

enum class PictureCopyResult {
    Copied,   // the file now holds a fresh copy of the source
    SameFile, // the source already is the file in the Exchange folder: nothing to do
    Failed,   // no readable source, or the copy could not be completed
    Refused   // the source is no picture, or its name is reserved (pictureRefusal says which)
};

// Why a picture must never land in the Exchange folder, which every computer on the share can
// read and the displays act on.
enum class PictureRefusal {
    None,
    ReservedName, // the bare name is that of an exchange file or a temporary file
    NotAPicture   // the source is there, but its header is not that of a JPEG, BMP or GIF
};

// What copyPictureIntoExchange would refuse. A source that is missing or cannot be read is no
// refusal: its copy fails, and nothing lands in the folder.
PictureRefusal pictureRefusal(std::string_view picturePath, const ExchangeFolder& exchange);

// Copies a picture into the Exchange folder under its bare name, replacing a file of that name.
// A relative source is taken relative to the working folder. Only a picture is copied, as its
// header tells, and never onto a reserved name. The copy goes through a temporary file in the
// Exchange folder, so a failed copy never damages a picture that is already there, and a
// picture is never copied onto itself.
PictureCopyResult copyPictureIntoExchange(std::string_view picturePath,
                                          const ExchangeFolder& exchange);

} // namespace lm
