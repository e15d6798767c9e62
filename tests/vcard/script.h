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
    // The response (data and status word) to one command APDU; remembers the
    // command for rules that answer only after a given one.
    std::vector<std::uint8_t> respond(const std::vector<std::uint8_t>& apdu);

  private:
    enum class Kind { Fixed, Echo, Le };
    struct Pattern {
        std::vector<int> bytes;  // byte values, -1 for a wildcard byte
        bool anyTail = false;    // a trailing `*` matches any further bytes
        bool matches(const std::vector<std::uint8_t>& apdu) const;
    };
    struct Rule {
        Pattern pattern;
        bool hasAfter = false;
        Pattern after;  // what the previous command must match
        Kind kind = Kind::Fixed;
        std::vector<std::uint8_t> bytes;  // whole response, or the status word
    };
    bool parseLine(const std::string& line, std::string& error);

    std::vector<std::uint8_t> atr_;
    std::vector<Rule> rules_;
    std::vector<std::uint8_t> default_{0x6D, 0x00};
    bool hasPrevious_ = false;
    std::vector<std::uint8_t> previous_;
};

}  // namespace vcard
