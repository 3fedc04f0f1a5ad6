#pragma once

#include "PageFiles.h"

namespace lm {

// /words.json for the browser page: the sign's words from the tables the window's lists are
// filled from, so that the page offers exactly the same: the sixteen colours with their RGB
// (the swatches), the speeds, the movements, and the defaults of the window's entry controls
// and of the urgent message.
PageFile pageWords();

} // namespace lm
