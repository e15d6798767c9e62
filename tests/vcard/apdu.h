// Splits a command APDU into its body parts (ISO 7816-4 cases 1 to 4, short
// and extended), which the echo and Le rules of a card script need.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vcard {

struct CommandParts {
    bool valid = false;          // a header and a body of a known case
    std::size_t dataOffset = 0;  // where the command data starts
    std::size_t dataLength = 0;  // Lc, 0 when the command carries no data
    std::size_t le = 0;          // expected response length, 0 when absent
};

CommandParts parseCommand(const std::vector<std::uint8_t>& apdu);

}  // namespace vcard
