// PIN_VERIFY_STRUCTURE and PIN_MODIFY_STRUCTURE (reader.h, packed,
// little-endian) and the command APDU that a CCID reader builds from them
// once the PIN has been typed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace pinpad {

using Bytes = std::vector<std::uint8_t>;

struct PinCommand {
    bool modify = false;
    std::uint8_t timeOut = 0;   // seconds, 0: the reader's default
    std::uint8_t timeOut2 = 0;  // for the entries after the first
    std::uint8_t minDigits = 0;
    std::uint8_t maxDigits = 0;
    bool asksCurrent = true;  // a change without it takes only the new PIN
    bool asksConfirmation = false;
    Bytes apduTemplate;

    // The place of the PIN in the data field, worked out by the parser.
    enum class Encoding { Binary, Bcd, Ascii };
    Encoding encoding = Encoding::Binary;
    bool rightJustify = false;
    std::size_t pinBit = 0;       // from the first data byte after Lc
    std::size_t lengthBit = 0;    // position of the length field
    unsigned lengthBits = 0;      // its size, 0 for none
    std::size_t blockBytes = 0;   // 0: the PIN is appended, the reader sets Lc
    std::size_t currentBase = 0;  // offsets of the two PINs' blocks, in bits
    std::size_t newBase = 0;
};

// Nothing when the structure is malformed or its layout does not fit the
// template: the reader then answers 6B 80.
std::optional<PinCommand> parseVerify(const std::uint8_t* data, std::size_t size);
std::optional<PinCommand> parseModify(const std::uint8_t* data, std::size_t size);

// The APDU to send, with each PIN (a string of digits whose length is within
// the command's bounds) placed as the command says. `current` is ignored
// when the command does not ask for it.
Bytes buildApdu(const PinCommand& command, const std::string& current, const std::string& fresh);

}  // namespace pinpad
