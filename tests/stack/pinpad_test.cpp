// The virtual pin-pad reader through the real stack (with-pcscd.sh --pinpad):
// its features, the structures it refuses before asking the keypad, and the
// card leaving in the middle of a PIN entry.
#include <gtest/gtest.h>
#include <reader.h>
#include <unistd.h>
#include <winscard.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "vcard_control.h"

namespace {

using Bytes = std::vector<unsigned char>;

std::string env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

constexpr DWORD kVerify = SCARD_CTL_CODE(3506);

// PIN_VERIFY_STRUCTURE: ASCII PIN of 4 to 8 digits in an 8-byte block of FF,
// entry ends with OK, 1 s for the first digit.
Bytes verifyAscii(Bytes apdu = {0x00, 0x20, 0x00, 0x01, 0x08, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                0xFF, 0xFF}) {
    const auto n = static_cast<unsigned char>(apdu.size());
    Bytes s{1, 0, 0x82, 0x08, 0x00, 0x08, 0x04, 0x02, 0, 0, 0, 0, 0, 0, 0, n, 0, 0, 0};
    for (const unsigned char b : apdu) s.push_back(b);
    return s;
}

class Pinpad : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(env("VELK_PINPAD_READER").empty()) << "run through with-pcscd.sh --pinpad";
        ASSERT_EQ(SCARD_S_SUCCESS,
                  SCardEstablishContext(SCARD_SCOPE_SYSTEM, nullptr, nullptr, &ctx_));
        ASSERT_EQ(SCARD_S_SUCCESS, connect(env("VELK_PINPAD_READER"), SCARD_SHARE_SHARED));
        ASSERT_EQ("ok", keypad("clear"));
    }
    void TearDown() override {
        if (card_) SCardDisconnect(card_, SCARD_LEAVE_CARD);
        if (ctx_) SCardReleaseContext(ctx_);
    }
    LONG connect(const std::string& reader, DWORD share) {
        DWORD protocol = 0;
        return SCardConnect(ctx_, reader.c_str(), share, SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1,
                            &card_, &protocol);
    }
    LONG control(DWORD code, const Bytes& in, Bytes& out) {
        out.assign(1024, 0);
        DWORD len = 0;
        const LONG rv = SCardControl(card_, code, in.data(), static_cast<DWORD>(in.size()),
                                     out.data(), static_cast<DWORD>(out.size()), &len);
        out.resize(rv == SCARD_S_SUCCESS ? len : 0);
        return rv;
    }
    Bytes control(DWORD code, const Bytes& in) {
        Bytes out;
        EXPECT_EQ(SCARD_S_SUCCESS, control(code, in, out));
        return out;
    }
    static std::string keypad(const std::string& command) {
        return velk_test::vcardCommand(env("VELK_PINPAD_CONTROL"), command);
    }

    SCARDCONTEXT ctx_ = 0;
    SCARDHANDLE card_ = 0;
};

TEST_F(Pinpad, FeaturesAndProperties) {
    const Bytes features{0x06, 4, 0x42, 0x00, 0x0D, 0xB2, 0x07, 4, 0x42, 0x00, 0x0D, 0xB3,
                         0x0A, 4, 0x42, 0x00, 0x0D, 0xB6, 0x12, 4, 0x42, 0x00, 0x0D, 0xBE};
    EXPECT_EQ(features, control(CM_IOCTL_GET_FEATURE_REQUEST, {}));
    EXPECT_EQ((Bytes{0x00, 0x00, 0x02, 0x00}), control(SCARD_CTL_CODE(3510), {}));
    const Bytes tlv = control(SCARD_CTL_CODE(3518), {});
    ASSERT_GE(tlv.size(), 20u);
    EXPECT_EQ((Bytes{1, 2, 0, 0, 2, 1, 2, 3, 1, 0, 6, 1, 1, 7, 1, 16, 11, 2, 0xFF, 0xFF}),
              Bytes(tlv.begin(), tlv.begin() + 20));
    Bytes out;
    EXPECT_EQ(SCARD_E_UNSUPPORTED_FEATURE, control(SCARD_CTL_CODE(3401), {}, out));
}

// Right, wrong, cancelled, timed-out and too short PINs, and changes, are
// driven end to end through the provider (tests/provider PinPadTest).
TEST_F(Pinpad, TooLongPinsAndMalformedStructures) {
    ASSERT_EQ("ok", keypad("type 123456789"));
    EXPECT_EQ((Bytes{0x64, 0x03}), control(kVerify, verifyAscii()));
    ASSERT_EQ("ok", keypad("type 1234"));
    Bytes wrongLength = verifyAscii();
    wrongLength[15] = 9;
    Bytes shortTemplate = verifyAscii({0x00, 0x20, 0x00, 0x01});
    Bytes pinPastBlock = verifyAscii();
    pinPastBlock[2] = 0x8A;  // position 1: eight ASCII digits no longer fit the block
    Bytes minAboveMax = verifyAscii();
    minAboveMax[6] = 0x09;
    for (const Bytes& s : {wrongLength, shortTemplate, pinPastBlock, minAboveMax, Bytes{1, 2}}) {
        EXPECT_EQ((Bytes{0x6B, 0x80}), control(kVerify, s));
    }
    EXPECT_EQ("idle 1", keypad("status"));  // nothing was asked of the keypad
}

TEST_F(Pinpad, CardLeavingDuringTheExchange) {
    // The card leaves without answering: the reader reports a failure, and
    // pcscd lives on and serves the card once it is back.
    ASSERT_EQ("ok", keypad("type 1234"));
    Bytes out;
    EXPECT_EQ(
        SCARD_E_NOT_TRANSACTED,
        control(kVerify, verifyAscii({0x00, 0x20, 0x00, 0x03, 0x08, 0, 0, 0, 0, 0, 0, 0, 0}), out));
    const std::string card = env("VELK_PINPAD_CARD_CONTROL");
    ASSERT_EQ("ok inserted", velk_test::vcardCommand(card, "insert"));
    LONG rv = SCARD_E_NO_SMARTCARD;
    for (int i = 0; i < 100 && rv != SCARD_S_SUCCESS; ++i) {
        SCardDisconnect(card_, SCARD_LEAVE_CARD);
        card_ = 0;
        rv = connect(env("VELK_PINPAD_READER"), SCARD_SHARE_SHARED);
        if (rv != SCARD_S_SUCCESS) usleep(100000);
    }
    ASSERT_EQ(SCARD_S_SUCCESS, rv);
    ASSERT_EQ("ok", keypad("type 1234"));
    EXPECT_EQ((Bytes{0x90, 0x00}), control(kVerify, verifyAscii()));
}

}  // namespace
