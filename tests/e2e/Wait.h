#pragma once

#include <functional>

namespace lm::e2e {

// Checks the condition every stepMs until it holds; false when it does not within ms.
bool waitUntil(const std::function<bool()>& condition, int ms, int stepMs = 10);

} // namespace lm::e2e
