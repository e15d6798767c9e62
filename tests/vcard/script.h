// A card script: the ATR and the rules that map command APDUs to responses.
// The format is described in README.md and at the top of scripts/t1.vcard.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vcard {

class Script {
  public:
    // Parses script text; on failure returns false and sets `error` to a
    // message naming the line.
    static bool parse(const std::string& text, Script& out, std::string& error);
    static bool load(const std::string& path, Script& out, std::string& error);

    const std::vector<std::uint8_t>& atr() const { return atr_; }
    // The response (data and status word) to one command APDU.
    std::vector<std::uint8_t> respond(const std::vector<std::uint8_t>& apdu) const;

  private:
    enum class Kind { Fixed, Echo, Le };
    struct Rule {
        std::vector<int> pattern;  // byte values, -1 for a wildcard byte
        bool anyTail = false;      // a trailing `*` matches any further bytes
        Kind kind = Kind::Fixed;
        std::vector<std::uint8_t> bytes;  // whole response, or the status word
    };
    static bool matches(const Rule& r, const std::vector<std::uint8_t>& apdu);
    bool parseLine(const std::string& line, std::string& error);

    std::vector<std::uint8_t> atr_;
    std::vector<Rule> rules_;
    std::vector<std::uint8_t> default_{0x6D, 0x00};
};

}  // namespace vcard
