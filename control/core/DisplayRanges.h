#pragma once

#include <string>
#include <vector>

namespace lm {

// "1-3, 7" for the displays 1, 2, 3 and 7, in ascending order.
std::string displayRanges(const std::vector<int>& displays);

} // namespace lm
