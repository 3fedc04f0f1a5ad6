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

// What the reader accepts, its writer writes so that the reader takes it back unchanged.
template <typename Parse, typename Write>
void roundTrip(std::string_view bytes, Parse parse, Write write) {
    if (const auto value = parse(bytes)) {
        if (parse(write(*value)) != value) {
            __builtin_trap();
        }
    }
}

template <typename Record> void roundTrip(std::string_view bytes) {
    roundTrip(bytes, &Record::parse, [](const Record& record) { return record.encode(); });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    switch (data[0] % 6) {
    case 0:
        // A wake-up is read back byte for byte: it holds nothing but the name.
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
        roundTrip(bytes, &lm::ClockState::parse, [](const lm::ClockState& c) { return c.text(); });
        break;
    case 4:
        roundTrip<lm::ControlRequest>(bytes);
        break;
    case 5:
        roundTrip<lm::ControlReply>(bytes);
        break;
    }
    return 0;
}
