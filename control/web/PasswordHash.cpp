#include "PasswordHash.h"

#include "ApiError.h"

#include <atomic>
#include <semaphore>
#include <sodium.h>
#include <stdexcept>

namespace lm::passwordHash {

namespace {

constexpr std::ptrdiff_t atOnce = 2;
std::counting_semaphore<atOnce> gate(atOnce);
std::atomic<int> inGate{0};

// Holds one of the places at the gate for one hash.
class Place {
public:
    explicit Place(std::chrono::milliseconds wait) {
        ++inGate;
        if (!gate.try_acquire_for(wait)) {
            --inGate;
            throw ApiError(ApiErrorKind::Unavailable,
                           "too many log-ins at once; try again in a moment");
        }
    }
    ~Place() {
        gate.release();
        --inGate;
    }
    Place(const Place&) = delete;
    Place& operator=(const Place&) = delete;
};

void needSodium() {
    if (sodium_init() < 0) {
        throw std::runtime_error("libsodium cannot start");
    }
}

} // namespace

std::string make(std::string_view password, std::chrono::milliseconds wait) {
    needSodium();
    const Place place(wait);
    char stored[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(stored, password.data(), password.size(),
                          crypto_pwhash_OPSLIMIT_INTERACTIVE,
                          crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0) {
        throw std::runtime_error("not enough memory to hash the password");
    }
    return stored;
}

bool check(std::string_view stored, std::string_view password, std::chrono::milliseconds wait) {
    needSodium();
    // crypto_pwhash_str_verify reads a NUL-terminated string of at most STRBYTES.
    if (stored.empty() || stored.size() >= crypto_pwhash_STRBYTES) {
        return false;
    }
    const std::string terminated(stored);
    const Place place(wait);
    return crypto_pwhash_str_verify(terminated.c_str(), password.data(), password.size()) == 0;
}

int waitingOrRunning() {
    return inGate.load();
}

} // namespace lm::passwordHash
