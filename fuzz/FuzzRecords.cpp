// The records one program takes from another: a wake-up datagram from anyone on the network,
// the instants and signs of life in the Exchange folder, and the requests over the local socket.
// The first byte picks the reader; whatever it accepts must come back unchanged through its
// writer.
#include "ClockState.h"
#include "ControlRequest.h"
#include "Instant.h"
#include "SignOfLife.h"
#include "WakeUp.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace {

template <typename Record> void roundTrip(std::string_view bytes) {
    if (const auto record = Record::parse(bytes)) {
        if (Record::parse(record->encode()) != record) {
            __builtin_trap();
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    switch (data[0] % 6) {
    case 0:
        if (const auto name = lm::WakeUp::parse(bytes)) {
            if (name->size() > lm::WakeUp::maxNameBytes || lm::WakeUp::encode(*name) != bytes) {
                __builtin_trap();
            }
        }
        break;
    case 1:
        roundTrip<lm::Instant>(bytes);
        break;
    case 2:
        roundTrip<lm::SignOfLife>(bytes);
        break;
    case 3:
        if (const auto clock = lm::ClockState::parse(bytes)) {
            if (lm::ClockState::parse(clock->text()) != clock) {
                __builtin_trap();
            }
        }
        break;
    case 4:
        roundTrip<lm::ControlRequest>(bytes);
        break;
    case 5:
        if (const auto refusal = lm::controlReply::parse(bytes)) {
            if (lm::controlReply::parse(lm::controlReply::encode(*refusal)) != refusal) {
                __builtin_trap();
            }
        }
        break;
    }
    return 0;
}
