// End to end through the real stack: libpcsclite, a private pcscd, the vpcd
// driver and the virtual cards that with-pcscd.sh started with the sample
// scripts (T=1 card in the first reader, T=0 card in the second).
#include <gtest/gtest.h>
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

class Stack : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(env("VELK_READER").empty()) << "run through tests/stack/with-pcscd.sh";
        ASSERT_EQ(SCARD_S_SUCCESS,
                  SCardEstablishContext(SCARD_SCOPE_SYSTEM, nullptr, nullptr, &ctx_));
    }
    void TearDown() override {
        if (card_) SCardDisconnect(card_, SCARD_LEAVE_CARD);
        if (ctx_) SCardReleaseContext(ctx_);
    }

    LONG connect(const std::string& reader) {
        if (card_) SCardDisconnect(card_, SCARD_LEAVE_CARD);
        card_ = 0;
        return SCardConnect(ctx_, reader.c_str(), SCARD_SHARE_SHARED,
                            SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1, &card_, &protocol_);
    }
    LONG transmit(const Bytes& command, Bytes& response, DWORD capacity = 65538) {
        response.assign(capacity, 0);
        DWORD len = capacity;
        const SCARD_IO_REQUEST* pci = protocol_ == SCARD_PROTOCOL_T1 ? SCARD_PCI_T1 : SCARD_PCI_T0;
        const LONG rv =
            SCardTransmit(card_, pci, command.data(), static_cast<DWORD>(command.size()), nullptr,
                          response.data(), &len);
        response.resize(rv == SCARD_S_SUCCESS ? len : 0);
        return rv;
    }
    // Waits (bounded) until pcscd shows the reader with or without a card.
    bool waitCard(const std::string& reader, bool present) {
        SCARD_READERSTATE s{};
        s.szReader = reader.c_str();
        s.dwCurrentState = SCARD_STATE_UNAWARE;
        for (int i = 0; i < 100; ++i) {
            const LONG rv = SCardGetStatusChange(ctx_, 300, &s, 1);
            if (rv != SCARD_S_SUCCESS && rv != SCARD_E_TIMEOUT) return false;
            const DWORD st = s.dwEventState;
            const bool has = (st & SCARD_STATE_PRESENT) && !(st & SCARD_STATE_MUTE);
            if (present ? has : (st & SCARD_STATE_EMPTY) != 0) return true;
            s.dwCurrentState = st & ~SCARD_STATE_CHANGED;
        }
        return false;
    }
    Bytes atr() {
        char name[256];
        DWORD nameLen = sizeof name, state = 0, proto = 0;
        Bytes a(MAX_ATR_SIZE);
        DWORD atrLen = static_cast<DWORD>(a.size());
        if (SCardStatus(card_, name, &nameLen, &state, &proto, a.data(), &atrLen) !=
            SCARD_S_SUCCESS) {
            return {};
        }
        a.resize(atrLen);
        return a;
    }

    SCARDCONTEXT ctx_ = 0;
    SCARDHANDLE card_ = 0;
    DWORD protocol_ = 0;
};

const Bytes kSelect{0x00, 0xA4, 0x04, 0x00, 0x02, 0x3F, 0x00};
const Bytes kReadBinary{0x00, 0xB0, 0x00, 0x00, 0x04};
const Bytes kOk{0x90, 0x00};

Bytes getData(std::size_t le) {  // extended Le, answered with le filler bytes
    return {0x00,
            0xCA,
            0x01,
            0x00,
            0x00,
            static_cast<unsigned char>(le >> 8),
            static_cast<unsigned char>(le)};
}

bool isFiller(const Bytes& r, std::size_t n) {
    if (r.size() != n + 2 || r[n] != 0x90 || r[n + 1] != 0x00) return false;
    for (std::size_t k = 0; k < n; ++k) {
        if (r[k] != static_cast<unsigned char>(k)) return false;
    }
    return true;
}

TEST_F(Stack, ListsBothVirtualReaders) {
    DWORD len = 0;
    ASSERT_EQ(SCARD_S_SUCCESS, SCardListReaders(ctx_, nullptr, nullptr, &len));
    std::string all(len, '\0');
    ASSERT_EQ(SCARD_S_SUCCESS, SCardListReaders(ctx_, nullptr, &all[0], &len));
    EXPECT_NE(std::string::npos, all.find(env("VELK_READER") + '\0'));
    EXPECT_NE(std::string::npos, all.find(env("VELK_READER2") + '\0'));
}

TEST_F(Stack, T1CardAnswersItsScript) {
    ASSERT_EQ(SCARD_S_SUCCESS, connect(env("VELK_READER")));
    EXPECT_EQ(DWORD{SCARD_PROTOCOL_T1}, protocol_);
    EXPECT_EQ((Bytes{0x3B, 0x88, 0x01, 'V', 'E', 'L', 'K', 'C', 'R', 'D', '1', 0xF9}), atr());
    Bytes r;
    ASSERT_EQ(SCARD_S_SUCCESS, transmit(kSelect, r));
    EXPECT_EQ(kOk, r);
    ASSERT_EQ(SCARD_S_SUCCESS, transmit(kReadBinary, r));
    EXPECT_EQ((Bytes{0x01, 0x02, 0x03, 0x04, 0x90, 0x00}), r);
    ASSERT_EQ(SCARD_S_SUCCESS, transmit({0x00, 0xCA, 0x00, 0x01, 0x00}, r));
    EXPECT_EQ((Bytes{0x62, 0x83}), r);
    ASSERT_EQ(SCARD_S_SUCCESS, transmit({0x00, 0xC2, 0x00, 0x00, 0x03, 0xA1, 0xB2, 0xC3}, r));
    EXPECT_EQ((Bytes{0xA1, 0xB2, 0xC3, 0x90, 0x00}), r);
    ASSERT_EQ(SCARD_S_SUCCESS, transmit({0x80, 0x10, 0x00, 0x00}, r));
    EXPECT_EQ((Bytes{0x6D, 0x00}), r);
}

TEST_F(Stack, BigResponsesAndTooSmallBuffer) {
    ASSERT_EQ(SCARD_S_SUCCESS, connect(env("VELK_READER")));
    Bytes r;
    ASSERT_EQ(SCARD_S_SUCCESS, transmit(getData(1024), r));
    EXPECT_TRUE(isFiller(r, 1024));
    ASSERT_EQ(SCARD_S_SUCCESS, transmit(getData(2000), r));
    EXPECT_TRUE(isFiller(r, 2000));
    // 1025 data bytes and the status word do not fit 1024 bytes.
    EXPECT_EQ(SCARD_E_INSUFFICIENT_BUFFER, transmit(getData(1025), r, 1024));
    ASSERT_EQ(SCARD_S_SUCCESS, transmit(getData(1025), r, 1027));
    EXPECT_TRUE(isFiller(r, 1025));
}

TEST_F(Stack, RemovedCardFailsAndReinsertedCardWorks) {
    const std::string reader = env("VELK_READER");
    const std::string control = env("VELK_VCARD_CONTROL");
    ASSERT_EQ(SCARD_S_SUCCESS, connect(reader));
    Bytes r;
    ASSERT_EQ(SCARD_S_SUCCESS, transmit(kSelect, r));

    ASSERT_EQ("ok removed", velk_test::vcardCommand(control, "remove"));
    EXPECT_EQ("removed", velk_test::vcardCommand(control, "status"));
    // Before pcscd's next poll the driver reports the lost card as a failed
    // exchange; after it, pcscd knows the card is gone.
    const LONG early = transmit(kSelect, r);
    EXPECT_TRUE(early == SCARD_E_NOT_TRANSACTED || early == SCARD_W_REMOVED_CARD)
        << pcsc_stringify_error(early);
    ASSERT_TRUE(waitCard(reader, false));
    EXPECT_EQ(SCARD_W_REMOVED_CARD, transmit(kSelect, r));

    // Re-inserted as the T=0 card, then back as the T=1 card.
    const std::string scripts = env("VELK_VCARD_SCRIPTS");
    ASSERT_EQ("ok inserted", velk_test::vcardCommand(control, "insert " + scripts + "/t0.vcard"));
    ASSERT_TRUE(waitCard(reader, true));
    ASSERT_EQ(SCARD_S_SUCCESS, connect(reader));
    EXPECT_EQ(DWORD{SCARD_PROTOCOL_T0}, protocol_);
    EXPECT_EQ((Bytes{0x3B, 0x08, 'V', 'E', 'L', 'K', 'C', 'R', 'D', '0'}), atr());

    ASSERT_EQ("ok removed", velk_test::vcardCommand(control, "remove"));
    ASSERT_TRUE(waitCard(reader, false));
    ASSERT_EQ("ok inserted", velk_test::vcardCommand(control, "insert " + scripts + "/t1.vcard"));
    ASSERT_TRUE(waitCard(reader, true));
    ASSERT_EQ(SCARD_S_SUCCESS, connect(reader));
    EXPECT_EQ(DWORD{SCARD_PROTOCOL_T1}, protocol_);
    ASSERT_EQ(SCARD_S_SUCCESS, transmit(kReadBinary, r));
    EXPECT_EQ((Bytes{0x01, 0x02, 0x03, 0x04, 0x90, 0x00}), r);
}

TEST_F(Stack, T0CardInSecondReader) {
    ASSERT_EQ(SCARD_S_SUCCESS, connect(env("VELK_READER2")));
    EXPECT_EQ(DWORD{SCARD_PROTOCOL_T0}, protocol_);
    Bytes r;
    ASSERT_EQ(SCARD_S_SUCCESS, transmit(kSelect, r));
    EXPECT_EQ(kOk, r);
    ASSERT_EQ(SCARD_S_SUCCESS, transmit({0x00, 0xB0, 0x00, 0x00, 0x06}, r));
    EXPECT_EQ((Bytes{0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F, 0x90, 0x00}), r);
    ASSERT_EQ(SCARD_S_SUCCESS, transmit({0x00, 0xCA, 0x00, 0x01, 0x00}, r));
    EXPECT_EQ((Bytes{0x62, 0x83}), r);
}

}  // namespace
