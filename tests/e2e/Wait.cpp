#include "Wait.h"

#include <chrono>
#include <thread>

namespace lm::e2e {

bool waitUntil(const std::function<bool()>& condition, int ms, int stepMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        if (condition()) {
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(stepMs));
    }
}

} // namespace lm::e2e
