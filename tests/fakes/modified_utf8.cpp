#include "modified_utf8.h"

namespace fakejni {

std::string toModifiedUtf8(const std::u16string& units) {
    std::string out;
    for (char16_t u : units) {
        if (u != 0 && u < 0x80) {
            out += static_cast<char>(u);
        } else if (u < 0x800) {
            out += static_cast<char>(0xC0 | (u >> 6));
            out += static_cast<char>(0x80 | (u & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (u >> 12));
            out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (u & 0x3F));
        }
    }
    return out;
}

std::u16string fromModifiedUtf8(const std::string& bytes) {
    std::u16string out;
    auto at = [&bytes](size_t i) { return static_cast<unsigned char>(bytes[i]); };
    auto isTail = [&](size_t i) { return i < bytes.size() && (at(i) & 0xC0) == 0x80; };
    for (size_t i = 0; i < bytes.size();) {
        unsigned char b = at(i);
        if (b < 0x80) {
            out += static_cast<char16_t>(b);
            i += 1;
        } else if ((b & 0xE0) == 0xC0 && isTail(i + 1)) {
            out += static_cast<char16_t>(((b & 0x1F) << 6) | (at(i + 1) & 0x3F));
            i += 2;
        } else if ((b & 0xF0) == 0xE0 && isTail(i + 1) && isTail(i + 2)) {
            out += static_cast<char16_t>(((b & 0x0F) << 12) | ((at(i + 1) & 0x3F) << 6) |
                                         (at(i + 2) & 0x3F));
            i += 3;
        } else {
            out += u'\uFFFD';
            i += 1;
        }
    }
    return out;
}

}  // namespace fakejni
