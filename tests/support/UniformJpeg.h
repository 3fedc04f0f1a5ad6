#pragma once

#include <string>

namespace lm::test {

// The bytes of a valid baseline JPEG of any size up to 65535 × 65535, plain mid grey. Every
// 8 × 8 block codes in two bits, so even 20000 × 20000 pixels take only 1.5 MB on disk while a
// decoder that expands it whole needs 400 MB or more.
std::string uniformGreyJpeg(int width, int height);

} // namespace lm::test
