// The script language and the APDU cases its echo and Le rules rely on.
#include "script.h"

#include <gtest/gtest.h>

namespace {

using Bytes = std::vector<std::uint8_t>;

vcard::Script parsed(const std::string& text) {
    vcard::Script s;
    std::string error;
    EXPECT_TRUE(vcard::Script::parse(text, s, error)) << error;
    return s;
}

TEST(VcardScript, RulesMatchInOrderWithWildcards) {
    auto s = parsed(
        "atr 3B 02 14 50   # explicit\n"
        "00A4 0400 * -> 9000\n"
        "00 B0 ?? ?? 02 -> 0102 9000\n"
        "00 B0 * -> 6B00\n"
        "default 6E00\n");
    EXPECT_EQ((Bytes{0x3B, 0x02, 0x14, 0x50}), s.atr());
    EXPECT_EQ((Bytes{0x90, 0x00}), s.respond({0x00, 0xA4, 0x04, 0x00}));
    EXPECT_EQ((Bytes{0x01, 0x02, 0x90, 0x00}), s.respond({0x00, 0xB0, 0x12, 0x34, 0x02}));
    EXPECT_EQ((Bytes{0x6B, 0x00}), s.respond({0x00, 0xB0, 0x12, 0x34, 0x03}));
    EXPECT_EQ((Bytes{0x6E, 0x00}), s.respond({0x80, 0xA4, 0x04, 0x00}));
}

TEST(VcardScript, EchoAndLeFollowTheApduCase) {
    auto s = parsed("atr t1\n00 C2 * -> echo\n00 CA * -> le 6100\n");
    EXPECT_EQ((Bytes{0xAA, 0xBB, 0x90, 0x00}), s.respond({0x00, 0xC2, 0, 0, 2, 0xAA, 0xBB}));
    EXPECT_EQ((Bytes{0xAA, 0x90, 0x00}), s.respond({0x00, 0xC2, 0, 0, 1, 0xAA, 0x10}));
    EXPECT_EQ((Bytes{0xCC, 0x90, 0x00}), s.respond({0x00, 0xC2, 0, 0, 0, 0, 1, 0xCC, 0, 0}));
    EXPECT_EQ((Bytes{0x90, 0x00}), s.respond({0x00, 0xC2, 0, 0}));
    EXPECT_EQ(258u, s.respond({0x00, 0xCA, 0, 0, 0}).size());               // short Le 00
    EXPECT_EQ(1027u, s.respond({0x00, 0xCA, 0, 0, 0, 0x04, 0x01}).size());  // extended
    EXPECT_EQ(65535u, s.respond({0x00, 0xCA, 0, 0, 0, 0, 0}).size());       // capped
    const Bytes r = s.respond({0x00, 0xCA, 0, 0, 0, 0x01, 0x02});
    EXPECT_EQ(0x01, r[257]);
    EXPECT_EQ((Bytes{0x61, 0x00}), Bytes(r.end() - 2, r.end()));
}

TEST(VcardScript, AfterRulesAnswerOnlyAfterTheirCommand) {
    // A GET RESPONSE chain and a channel that opens as 1 and, after 1 is closed, as 5.
    auto s = parsed(
        "atr t1\n"
        "00 C0 00 00 02 after 00 CB * -> 05 06 90 00\n"
        "00 CB 00 00 * -> 01 02 61 02\n"
        "00 70 00 00 01 after 01 70 80 01 -> 05 90 00\n"
        "00 70 00 00 01 -> 01 90 00\n"
        "default 6A 82\n");
    EXPECT_EQ((Bytes{0x6A, 0x82}), s.respond({0x00, 0xC0, 0, 0, 2}));  // no chain started
    EXPECT_EQ((Bytes{0x01, 0x02, 0x61, 0x02}), s.respond({0x00, 0xCB, 0, 0, 4}));
    EXPECT_EQ((Bytes{0x05, 0x06, 0x90, 0x00}), s.respond({0x00, 0xC0, 0, 0, 2}));
    EXPECT_EQ((Bytes{0x6A, 0x82}), s.respond({0x00, 0xC0, 0, 0, 2}));  // the chain is over
    EXPECT_EQ((Bytes{0x01, 0x90, 0x00}), s.respond({0x00, 0x70, 0, 0, 1}));
    EXPECT_EQ((Bytes{0x6A, 0x82}), s.respond({0x01, 0x70, 0x80, 0x01}));
    EXPECT_EQ((Bytes{0x05, 0x90, 0x00}), s.respond({0x00, 0x70, 0, 0, 1}));
}

TEST(VcardScript, MistakesNameTheLine) {
    for (const char* bad : {"00A4 -> 9000\n",             // no atr
                            "atr t1\n00A4 9000\n",        // no arrow
                            "atr t1\n00 * A4 -> 9000\n",  // star not last
                            "atr t1\n00A4 -> 90\n",       // no status word
                            "atr t1\n00A4 -> le 900\n",   // odd hex
                            "atr t1\nanswer 9000\n", "atr t1\n00A4 after 00 * A4 -> 9000\n"}) {
        vcard::Script s;
        std::string error;
        EXPECT_FALSE(vcard::Script::parse(bad, s, error)) << bad;
        EXPECT_FALSE(error.empty());
    }
    vcard::Script s;
    std::string error;
    vcard::Script::parse("atr t0\n\n00 -> zz\n", s, error);
    EXPECT_EQ(0u, error.find("line 3:")) << error;
}

}  // namespace
