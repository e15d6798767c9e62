// What the reader tells programs about itself: the feature list of a CCID
// pin-pad, its PIN properties and its TLV properties, as reader.h lays them out.
#pragma once

#include <cstdint>
#include <vector>

namespace pinpad {

using Bytes = std::vector<std::uint8_t>;

// SCARD_CTL_CODE(code) of pcsc-lite's reader.h.
constexpr std::uint32_t ctlCode(std::uint32_t code) { return 0x42000000u + code; }

constexpr std::uint32_t kGetFeatureRequest = ctlCode(3400);
constexpr std::uint8_t kFeatureVerifyPinDirect = 0x06;
constexpr std::uint8_t kFeatureModifyPinDirect = 0x07;
constexpr std::uint8_t kFeatureIfdPinProperties = 0x0A;
constexpr std::uint8_t kFeatureGetTlvProperties = 0x12;
// Each feature's own control code: SCARD_CTL_CODE(3500 + feature tag).
constexpr std::uint32_t featureCode(std::uint8_t tag) { return ctlCode(3500u + tag); }

// The longest PIN the keypad takes, in digits.
constexpr std::uint8_t kMaxKeypadDigits = 16;

// TLV list: tag, length 4, control code big-endian, for each feature.
Bytes featureList();
// PIN_PROPERTIES_STRUCTURE: no display, entry ends with the OK key, no
// second timeout.
Bytes pinProperties();
// Tag, length, little-endian value for each property.
Bytes tlvProperties();

}  // namespace pinpad
