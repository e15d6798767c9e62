// The APDUs the pin-pad builds for layouts that the stack test's card does
// not cover: appended PINs, right justification with a length byte, a change
// without the current PIN, and layouts that do not fit.
#include "pin_command.h"

#include <gtest/gtest.h>

namespace {

using pinpad::Bytes;

// PIN_VERIFY_STRUCTURE with 1 to 6 digits, entry ending with OK.
Bytes verify(std::uint8_t format, std::uint8_t block, std::uint8_t lengthFormat, Bytes apdu) {
    const auto n = static_cast<std::uint8_t>(apdu.size());
    Bytes s{0, 0, format, block, lengthFormat, 0x06, 0x01, 0x02, 0, 0, 0, 0, 0, 0, 0, n, 0, 0, 0};
    for (const std::uint8_t b : apdu) s.push_back(b);
    return s;
}

Bytes built(const Bytes& structure, const std::string& pin) {
    const auto c = pinpad::parseVerify(structure.data(), structure.size());
    return c ? pinpad::buildApdu(*c, "", pin) : Bytes{};
}

TEST(PinCommand, AppendedPinSetsLc) {
    // BCD from the first data byte, no block: an odd PIN ends in an F nibble.
    EXPECT_EQ((Bytes{0x00, 0x20, 0x00, 0x01, 0x03, 0x12, 0x34, 0x5F}),
              built(verify(0x81, 0x00, 0x00, {0x00, 0x20, 0x00, 0x01, 0x00}), "12345"));
    // Binary one byte a digit after a kept data byte.
    EXPECT_EQ((Bytes{0x00, 0x20, 0x00, 0x01, 0x03, 0xAA, 0x01, 0x09}),
              built(verify(0x88, 0x00, 0x00, {0x00, 0x20, 0x00, 0x01, 0x02, 0xAA, 0xBB}), "19"));
}

TEST(PinCommand, RightJustifiedWithLengthByte) {
    const Bytes apdu{0x00, 0x20, 0x00, 0x01, 0x07, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ((Bytes{0x00, 0x20, 0x00, 0x01, 0x07, 0x04, 0, 0, '1', '2', '3', '4'}),
              built(verify(0x8E, 0x87, 0x10, apdu), "1234"));
}

TEST(PinCommand, ChangeWithoutCurrentPinPlacesOnlyTheNewOne) {
    Bytes s{0, 0, 0x82, 0x04, 0x00, 0x00, 0x04, 0x04, 0x04, 0x00, 0x02, 0,
            0, 0, 0,    0,    0,    0,    0,    0,    13,   0,    0,    0};
    for (const std::uint8_t b : {0x00, 0x24, 0x01, 0x01, 0x08, 1, 1, 1, 1, 2, 2, 2, 2}) {
        s.push_back(b);
    }
    const auto c = pinpad::parseModify(s.data(), s.size());
    ASSERT_TRUE(c);
    EXPECT_EQ((Bytes{0x00, 0x24, 0x01, 0x01, 0x08, 1, 1, 1, 1, '5', '6', '7', '8'}),
              pinpad::buildApdu(*c, "", "5678"));
}

TEST(PinCommand, LayoutsThatDoNotFit) {
    Bytes apdu{0x00, 0x20, 0x00, 0x01, 0x08};
    apdu.resize(13, 0xFF);
    EXPECT_FALSE(built(verify(0x82, 0x08, 0x00, apdu), "1").empty());
    EXPECT_TRUE(built(verify(0x83, 0x08, 0x00, apdu), "1").empty());  // no encoding 11
    EXPECT_TRUE(built(verify(0x82, 0x09, 0x00, apdu), "1").empty());  // block past the data
    EXPECT_TRUE(built(verify(0x9A, 0x08, 0x00, apdu), "1").empty());  // six digits past the block
    EXPECT_TRUE(built(verify(0x19, 0x08, 0x00, apdu), "1").empty());  // BCD at bit 3
    EXPECT_TRUE(built(verify(0x82, 0x88, 0x1F, apdu), "1").empty());  // length field outside
    apdu[4] = 9;
    EXPECT_TRUE(built(verify(0x82, 0x08, 0x00, apdu), "1").empty());  // Lc not the data's length
}

}  // namespace
