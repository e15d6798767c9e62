#include "pin_command.h"

#include <algorithm>
#include <utility>

namespace pinpad {

namespace {

constexpr std::size_t kHeaderSize = 5;  // CLA INS P1 P2 Lc
constexpr std::size_t kVerifyFixed = 19;
constexpr std::size_t kModifyFixed = 24;

std::uint16_t le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
std::uint32_t le32(const std::uint8_t* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

unsigned digitBits(PinCommand::Encoding e) { return e == PinCommand::Encoding::Bcd ? 4 : 8; }

// Bytes an appended PIN of n digits takes.
std::size_t appendedBytes(const PinCommand& c, std::size_t n) {
    return (n * digitBits(c.encoding) + 7) / 8;
}

// The fields both structures share, given in the order reader.h has them.
struct Fields {
    std::uint8_t timeOut, timeOut2, format, block, lengthFormat, offsetOld, offsetNew;
    std::uint16_t maxExtra;
    std::uint8_t confirm, validation;
    const std::uint8_t* apdu;
    std::size_t apduSize;
};

std::optional<PinCommand> layout(const Fields& f, bool modify) {
    PinCommand c;
    c.modify = modify;
    c.timeOut = f.timeOut;
    c.timeOut2 = f.timeOut2;
    c.minDigits = static_cast<std::uint8_t>(f.maxExtra >> 8);
    c.maxDigits = static_cast<std::uint8_t>(f.maxExtra);
    c.asksCurrent = !modify || (f.confirm & 0x02) != 0;
    c.asksConfirmation = modify && (f.confirm & 0x01) != 0;
    if (f.apduSize < kHeaderSize || c.maxDigits == 0 || c.minDigits > c.maxDigits) return {};
    if (f.validation == 0 || (f.validation & ~0x07) != 0) return {};
    switch (f.format & 0x03) {
        case 0:
            c.encoding = PinCommand::Encoding::Binary;
            break;
        case 1:
            c.encoding = PinCommand::Encoding::Bcd;
            break;
        case 2:
            c.encoding = PinCommand::Encoding::Ascii;
            break;
        default:
            return {};
    }
    c.apduTemplate.assign(f.apdu, f.apdu + f.apduSize);
    const std::size_t unit = (f.format & 0x80) ? 8 : 1;
    c.rightJustify = (f.format & 0x04) != 0;
    c.pinBit = ((f.format >> 3) & 0x0F) * unit;
    c.lengthBits = f.block >> 4;
    c.blockBytes = f.block & 0x0F;
    c.lengthBit = (f.lengthFormat & 0x0F) * ((f.lengthFormat & 0x10) ? 8 : 1);
    c.currentBase = modify ? f.offsetOld * unit : 0;
    c.newBase = modify ? f.offsetNew * unit : 0;

    const std::size_t dataBits = (f.apduSize - kHeaderSize) * 8;
    const unsigned align = digitBits(c.encoding);
    const std::size_t pinBits = c.maxDigits * align;
    if (c.blockBytes == 0) {
        // Appended: the kept part of the data field ends where the PIN starts,
        // and the length field lies in that part.
        const std::size_t pins = c.asksCurrent && modify ? 2 : 1;
        if (c.pinBit % 8 != 0 || c.pinBit > dataBits) return {};
        if (c.lengthBits > 0 && c.lengthBit + c.lengthBits > c.pinBit) return {};
        if (c.pinBit / 8 + pins * appendedBytes(c, c.maxDigits) > 255) return {};
        return c;
    }
    // In a block: the template's Lc stays, so it must be the data's length.
    if (c.apduTemplate[4] != f.apduSize - kHeaderSize) return {};
    const std::size_t blockBits = c.blockBytes * 8;
    if (c.pinBit % align != 0 || c.pinBit + pinBits > blockBits) return {};
    for (const std::size_t base : {c.currentBase, c.newBase}) {
        if (base % align != 0 || base + blockBits > dataBits) return {};
        if (c.lengthBits > 0 && base + c.lengthBit + c.lengthBits > dataBits) return {};
    }
    return c;
}

void putBits(Bytes& data, std::size_t bit, unsigned count, std::uint32_t value) {
    for (unsigned i = 0; i < count; ++i, ++bit) {
        const auto mask = static_cast<std::uint8_t>(0x80u >> (bit % 8));
        if ((value >> (count - 1 - i)) & 1u) {
            data[bit / 8] |= mask;
        } else {
            data[bit / 8] &= static_cast<std::uint8_t>(~mask);
        }
    }
}

std::uint32_t digitCode(const PinCommand& c, char digit) {
    const auto d = static_cast<std::uint32_t>(digit - '0');
    return c.encoding == PinCommand::Encoding::Ascii ? '0' + d : d;
}

void putPin(const PinCommand& c, Bytes& data, std::size_t bit, const std::string& pin) {
    for (const char digit : pin) {
        putBits(data, bit, digitBits(c.encoding), digitCode(c, digit));
        bit += digitBits(c.encoding);
    }
}

void putLength(const PinCommand& c, Bytes& data, std::size_t base, std::size_t length) {
    if (c.lengthBits > 0) {
        putBits(data, base + c.lengthBit, c.lengthBits, static_cast<std::uint32_t>(length));
    }
}

}  // namespace

std::optional<PinCommand> parseVerify(const std::uint8_t* p, std::size_t size) {
    if (size < kVerifyFixed || le32(p + 15) != size - kVerifyFixed) return {};
    return layout(Fields{p[0], p[1], p[2], p[3], p[4], 0, 0, le16(p + 5), 0, p[7], p + kVerifyFixed,
                         size - kVerifyFixed},
                  false);
}

std::optional<PinCommand> parseModify(const std::uint8_t* p, std::size_t size) {
    if (size < kModifyFixed || le32(p + 20) != size - kModifyFixed) return {};
    return layout(Fields{p[0], p[1], p[2], p[3], p[4], p[5], p[6], le16(p + 7), p[9], p[10],
                         p + kModifyFixed, size - kModifyFixed},
                  true);
}

Bytes buildApdu(const PinCommand& c, const std::string& current, const std::string& fresh) {
    Bytes apdu = c.apduTemplate;
    std::vector<std::pair<std::size_t, const std::string*>> pins;
    if (c.asksCurrent) pins.emplace_back(c.currentBase, c.modify ? &current : &fresh);
    if (c.modify) pins.emplace_back(c.newBase, &fresh);

    if (c.blockBytes == 0) {
        Bytes data(apdu.begin() + kHeaderSize, apdu.begin() + kHeaderSize + c.pinBit / 8);
        putLength(c, data, 0, pins.front().second->size());
        for (const auto& pin : pins) {
            const std::size_t at = data.size();
            // An odd BCD PIN ends in a filler nibble.
            data.resize(at + appendedBytes(c, pin.second->size()), 0xFF);
            putPin(c, data, at * 8, *pin.second);
        }
        apdu.resize(kHeaderSize);
        apdu[4] = static_cast<std::uint8_t>(data.size());
        apdu.insert(apdu.end(), data.begin(), data.end());
        return apdu;
    }
    Bytes data(apdu.begin() + kHeaderSize, apdu.end());
    for (const auto& [base, pin] : pins) {
        const std::size_t bits = pin->size() * digitBits(c.encoding);
        const std::size_t at = c.rightJustify ? base + c.blockBytes * 8 - bits : base + c.pinBit;
        putPin(c, data, at, *pin);
        putLength(c, data, base, pin->size());
    }
    std::copy(data.begin(), data.end(), apdu.begin() + kHeaderSize);
    return apdu;
}

}  // namespace pinpad
