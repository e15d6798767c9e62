// The fuzz input read front to back as the choices of a run. An exhausted
// input reads as zeros, so that every prefix of an input is itself a run and
// hand-written seeds can stop as soon as the rest may take defaults.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace velkfuzz {

class Input {
  public:
    Input(const uint8_t* data, size_t size) : data(data), size(size) {}

    bool empty() const { return pos >= size; }

    uint8_t byte() { return pos < size ? data[pos++] : 0; }
    uint16_t u16() { return static_cast<uint16_t>(byte() | byte() << 8); }
    uint32_t u32() { return static_cast<uint32_t>(u16()) | static_cast<uint32_t>(u16()) << 16; }
    uint64_t u64() { return static_cast<uint64_t>(u32()) | static_cast<uint64_t>(u32()) << 32; }
    bool flag() { return (byte() & 1) != 0; }
    // 0 .. n-1
    unsigned below(unsigned n) { return n == 0 ? 0 : byte() % n; }

    std::vector<uint8_t> bytes(size_t n) {
        std::vector<uint8_t> out;
        out.reserve(n);
        for (size_t i = 0; i < n; ++i) {
            out.push_back(byte());
        }
        return out;
    }

    // A 32-bit value, mostly one that sits at an edge.
    int32_t edgyInt() {
        switch (byte() % 10) {
            case 0:
                return 0;
            case 1:
                return 1;
            case 2:
                return 2;
            case 3:
                return -1;
            case 4:
                return INT32_MIN;
            case 5:
                return INT32_MAX;
            case 6:
                return 3;
            case 7:
                return byte();
            default:
                return static_cast<int32_t>(u32());
        }
    }

    // A 64-bit value; high halves that are not the sign extension of the low
    // one included.
    int64_t edgyLong() {
        switch (byte() % 8) {
            case 0:
                return 0;
            case 1:
                return -1;
            case 2:
                return INT64_MIN;
            case 3:
                return INT64_MAX;
            case 4:
                return static_cast<int64_t>(0xFFFFFFFF80000000ull);
            case 5:
                return 0x80000000ll;
            case 6:
                return edgyInt();
            default:
                return static_cast<int64_t>(u64());
        }
    }

  private:
    const uint8_t* data;
    size_t size;
    size_t pos = 0;
};

}  // namespace velkfuzz
