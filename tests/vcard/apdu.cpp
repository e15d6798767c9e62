#include "apdu.h"

namespace vcard {

namespace {

std::size_t shortLe(std::uint8_t b) { return b == 0 ? 256 : b; }
std::size_t extendedLe(std::uint8_t hi, std::uint8_t lo) {
    const std::size_t v = (std::size_t{hi} << 8) | lo;
    return v == 0 ? 65536 : v;
}

}  // namespace

CommandParts parseCommand(const std::vector<std::uint8_t>& a) {
    CommandParts p;
    const std::size_t n = a.size();
    if (n < 4) return p;
    p.valid = true;
    if (n == 4) return p;  // case 1
    if (n == 5) {          // case 2 short
        p.le = shortLe(a[4]);
        return p;
    }
    if (a[4] != 0) {  // short with data
        const std::size_t lc = a[4];
        p.dataOffset = 5;
        p.dataLength = lc;
        if (n == 5 + lc) return p;
        if (n == 6 + lc) {
            p.le = shortLe(a[n - 1]);
            return p;
        }
    } else if (n == 7) {  // case 2 extended
        p.le = extendedLe(a[5], a[6]);
        return p;
    } else if (n > 7) {  // extended with data
        const std::size_t lc = (std::size_t{a[5]} << 8) | a[6];
        p.dataOffset = 7;
        p.dataLength = lc;
        if (lc != 0 && n == 7 + lc) return p;
        if (lc != 0 && n == 9 + lc) {
            p.le = extendedLe(a[n - 2], a[n - 1]);
            return p;
        }
    }
    return CommandParts{};
}

}  // namespace vcard
