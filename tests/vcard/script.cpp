#include "script.h"

#include <cctype>
#include <fstream>
#include <sstream>

#include "apdu.h"

namespace vcard {

namespace {

// A frame carries at most 65535 bytes; the status word takes two of them.
constexpr std::size_t kMaxData = 65533;

// "VELKCRD1": T=1 only (TD1 = 01), eight historical bytes, TCK.
const std::vector<std::uint8_t> kAtrT1{0x3B, 0x88, 0x01, 0x56, 0x45, 0x4C,
                                       0x4B, 0x43, 0x52, 0x44, 0x31, 0xF9};
// "VELKCRD0": no interface bytes, so T=0 is implied and there is no TCK.
const std::vector<std::uint8_t> kAtrT0{0x3B, 0x08, 0x56, 0x45, 0x4C, 0x4B, 0x43, 0x52, 0x44, 0x30};

std::string trim(const std::string& s) {
    const auto b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos) return "";
    return s.substr(b, s.find_last_not_of(" \t\r") - b + 1);
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Reads hex bytes, optionally with `??` wildcards and a final `*`; spaces
// between bytes are optional.
bool parsePattern(const std::string& s, bool allowWild, std::vector<int>& out, bool& star,
                  std::string& error) {
    star = false;
    for (std::size_t i = 0; i < s.size();) {
        const char c = s[i];
        if (c == ' ' || c == '\t') {
            ++i;
        } else if (star) {
            error = "'*' must come last";
            return false;
        } else if (allowWild && c == '*') {
            star = true;
            ++i;
        } else if (allowWild && c == '?' && i + 1 < s.size() && s[i + 1] == '?') {
            out.push_back(-1);
            i += 2;
        } else if (i + 1 < s.size() && hexValue(c) >= 0 && hexValue(s[i + 1]) >= 0) {
            out.push_back(hexValue(c) * 16 + hexValue(s[i + 1]));
            i += 2;
        } else {
            error = std::string("bad hex at '") + s.substr(i) + "'";
            return false;
        }
    }
    return true;
}

bool parseHex(const std::string& s, std::vector<std::uint8_t>& out, std::string& error) {
    std::vector<int> v;
    bool star = false;
    if (!parsePattern(s, false, v, star, error)) return false;
    out.assign(v.begin(), v.end());
    return true;
}

bool startsWithWord(const std::string& s, const std::string& word, std::string& rest) {
    if (s.compare(0, word.size(), word) != 0) return false;
    if (s.size() > word.size() && s[word.size()] != ' ' && s[word.size()] != '\t') return false;
    rest = trim(s.substr(word.size()));
    return true;
}

// An optional status word after `echo` or `le`; 9000 when absent.
bool parseStatus(const std::string& s, std::vector<std::uint8_t>& sw, std::string& error) {
    if (s.empty()) {
        sw = {0x90, 0x00};
        return true;
    }
    if (!parseHex(s, sw, error)) return false;
    if (sw.size() != 2) {
        error = "a status word is two bytes";
        return false;
    }
    return true;
}

}  // namespace

bool Script::parse(const std::string& text, Script& out, std::string& error) {
    Script s;
    std::istringstream in(text);
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        const auto hash = line.find('#');
        if (hash != std::string::npos) line.erase(hash);
        line = trim(line);
        if (line.empty()) continue;
        std::string why;
        if (!s.parseLine(line, why)) {
            error = "line " + std::to_string(number) + ": " + why;
            return false;
        }
    }
    if (s.atr_.empty()) {
        error = "no atr line";
        return false;
    }
    out = std::move(s);
    return true;
}

bool Script::load(const std::string& path, Script& out, std::string& error) {
    std::ifstream f(path);
    if (!f) {
        error = "cannot read " + path;
        return false;
    }
    std::stringstream text;
    text << f.rdbuf();
    if (!parse(text.str(), out, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}

bool Script::parseLine(const std::string& line, std::string& error) {
    std::string rest;
    if (startsWithWord(line, "atr", rest)) {
        if (rest == "t1" || rest == "T1" || rest == "T=1") {
            atr_ = kAtrT1;
        } else if (rest == "t0" || rest == "T0" || rest == "T=0") {
            atr_ = kAtrT0;
        } else if (!parseHex(rest, atr_, error)) {
            return false;
        }
        if (atr_.size() < 2 || atr_.size() > 33) {
            error = "an ATR has 2 to 33 bytes";
            return false;
        }
        return true;
    }
    if (startsWithWord(line, "default", rest)) {
        if (!parseHex(rest, default_, error)) return false;
        if (default_.size() < 2) {
            error = "a response needs at least a status word";
            return false;
        }
        return true;
    }
    const auto arrow = line.find("->");
    if (arrow == std::string::npos) {
        error = "expected 'atr', 'default' or 'PATTERN -> RESPONSE'";
        return false;
    }
    Rule r;
    std::string pattern = trim(line.substr(0, arrow));
    const auto after = pattern.find(" after ");
    if (after != std::string::npos) {
        r.hasAfter = true;
        if (!parsePattern(trim(pattern.substr(after + 7)), true, r.after.bytes, r.after.anyTail,
                          error)) {
            return false;
        }
        pattern.erase(after);
    }
    if (!parsePattern(pattern, true, r.pattern.bytes, r.pattern.anyTail, error)) return false;
    const std::string response = trim(line.substr(arrow + 2));
    if (startsWithWord(response, "echo", rest)) {
        r.kind = Kind::Echo;
        if (!parseStatus(rest, r.bytes, error)) return false;
    } else if (startsWithWord(response, "le", rest)) {
        r.kind = Kind::Le;
        if (!parseStatus(rest, r.bytes, error)) return false;
    } else {
        if (!parseHex(response, r.bytes, error)) return false;
        if (r.bytes.size() < 2 || r.bytes.size() > kMaxData + 2) {
            error = "a response has a status word and at most 65533 data bytes";
            return false;
        }
    }
    rules_.push_back(std::move(r));
    return true;
}

bool Script::Pattern::matches(const std::vector<std::uint8_t>& apdu) const {
    if (apdu.size() < bytes.size()) return false;
    if (!anyTail && apdu.size() != bytes.size()) return false;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] >= 0 && bytes[i] != apdu[i]) return false;
    }
    return true;
}

std::vector<std::uint8_t> Script::respond(const std::vector<std::uint8_t>& apdu) {
    const bool hadPrevious = hasPrevious_;
    const std::vector<std::uint8_t> previous = std::move(previous_);
    hasPrevious_ = true;
    previous_ = apdu;
    for (const Rule& r : rules_) {
        if (!r.pattern.matches(apdu)) continue;
        if (r.hasAfter && !(hadPrevious && r.after.matches(previous))) continue;
        if (r.kind == Kind::Fixed) return r.bytes;
        const CommandParts parts = parseCommand(apdu);
        std::vector<std::uint8_t> out;
        if (r.kind == Kind::Echo) {
            out.assign(
                apdu.begin() + static_cast<std::ptrdiff_t>(parts.dataOffset),
                apdu.begin() + static_cast<std::ptrdiff_t>(parts.dataOffset + parts.dataLength));
        } else {
            // Filler byte k is k mod 256, so a reader can check every byte.
            const std::size_t n = parts.le < kMaxData ? parts.le : kMaxData;
            out.resize(n);
            for (std::size_t k = 0; k < n; ++k) out[k] = static_cast<std::uint8_t>(k);
        }
        out.insert(out.end(), r.bytes.begin(), r.bytes.end());
        return out;
    }
    return default_;
}

}  // namespace vcard
