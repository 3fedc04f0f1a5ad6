#pragma once

#include <optional>
#include <string_view>

namespace lm {

// The UDP ports on which the programs take wake-ups: the base for the control program and
// base + n for display n. A sender takes the port from its peer's presence file, so computers
// whose bases differ still reach each other; the rule only says what each program binds.
struct WakeUpPorts {
    // 47600 to 47616 are in the registered range and assigned to no service, away from the
    // dynamic ports of Windows (49152 and up). Linux hands out source ports from 32768 to
    // 60999 unless they are reserved (net.ipv4.ip_local_reserved_ports), so a bind may rarely
    // find one taken: the program then runs on its polls.
    static constexpr int defaultBase = 47600;
    static constexpr int minBase = 1024;
    static constexpr int maxBase = 65535 - 16;
    static constexpr const char* environmentVariable = "LMSIGN_PORT_BASE";

    int base = defaultBase;

    int control() const { return base; }
    int display(int n) const { return base + n; }

    // A base given as text (the option, or LMSIGN_PORT_BASE): nothing unless it is a whole
    // number from minBase to maxBase.
    static std::optional<WakeUpPorts> fromText(std::string_view text);
    // The option's base when valid, else the environment's, else the default.
    static WakeUpPorts choose(std::optional<std::string_view> option,
                              std::optional<std::string_view> environment);
};

} // namespace lm
