#pragma once

#include "PageFiles.h"

#include <vector>

namespace lm {

// The browser page's files as this build embedded them (control/web/page).
std::vector<PageFile> pageAssets();

} // namespace lm
