// The readable texts of PC/SC result codes: each known symbol with its code,
// a few exact texts, and the format of every other code on both LONG widths.
#include "errors/error_text.h"

#include <gtest/gtest.h>
#include <winscard.h>

#include <cstdint>
#include <set>
#include <string>
#include <utility>

namespace {

// Every symbol the bridge names, with the code pcsclite.h gives it: the
// preprocessor pairs them, so no hand-copied number can pair them wrongly.
struct Symbol {
    const char* name;
    uint32_t code;
};
#define VELK_SYMBOL(name) \
    Symbol { #name, static_cast < uint32_t>(name) }
const Symbol kSymbols[] = {
    VELK_SYMBOL(SCARD_F_INTERNAL_ERROR),
    VELK_SYMBOL(SCARD_E_CANCELLED),
    VELK_SYMBOL(SCARD_E_INVALID_HANDLE),
    VELK_SYMBOL(SCARD_E_INVALID_PARAMETER),
    VELK_SYMBOL(SCARD_E_INVALID_TARGET),
    VELK_SYMBOL(SCARD_E_NO_MEMORY),
    VELK_SYMBOL(SCARD_F_WAITED_TOO_LONG),
    VELK_SYMBOL(SCARD_E_INSUFFICIENT_BUFFER),
    VELK_SYMBOL(SCARD_E_UNKNOWN_READER),
    VELK_SYMBOL(SCARD_E_TIMEOUT),
    VELK_SYMBOL(SCARD_E_SHARING_VIOLATION),
    VELK_SYMBOL(SCARD_E_NO_SMARTCARD),
    VELK_SYMBOL(SCARD_E_UNKNOWN_CARD),
    VELK_SYMBOL(SCARD_E_CANT_DISPOSE),
    VELK_SYMBOL(SCARD_E_PROTO_MISMATCH),
    VELK_SYMBOL(SCARD_E_NOT_READY),
    VELK_SYMBOL(SCARD_E_INVALID_VALUE),
    VELK_SYMBOL(SCARD_E_SYSTEM_CANCELLED),
    VELK_SYMBOL(SCARD_F_COMM_ERROR),
    VELK_SYMBOL(SCARD_F_UNKNOWN_ERROR),
    VELK_SYMBOL(SCARD_E_INVALID_ATR),
    VELK_SYMBOL(SCARD_E_NOT_TRANSACTED),
    VELK_SYMBOL(SCARD_E_READER_UNAVAILABLE),
    VELK_SYMBOL(SCARD_P_SHUTDOWN),
    VELK_SYMBOL(SCARD_E_PCI_TOO_SMALL),
    VELK_SYMBOL(SCARD_E_READER_UNSUPPORTED),
    VELK_SYMBOL(SCARD_E_DUPLICATE_READER),
    VELK_SYMBOL(SCARD_E_CARD_UNSUPPORTED),
    VELK_SYMBOL(SCARD_E_NO_SERVICE),
    VELK_SYMBOL(SCARD_E_SERVICE_STOPPED),
    VELK_SYMBOL(SCARD_E_UNEXPECTED),
    VELK_SYMBOL(SCARD_E_ICC_INSTALLATION),
    VELK_SYMBOL(SCARD_E_ICC_CREATEORDER),
    VELK_SYMBOL(SCARD_E_DIR_NOT_FOUND),
    VELK_SYMBOL(SCARD_E_FILE_NOT_FOUND),
    VELK_SYMBOL(SCARD_E_NO_DIR),
    VELK_SYMBOL(SCARD_E_NO_FILE),
    VELK_SYMBOL(SCARD_E_NO_ACCESS),
    VELK_SYMBOL(SCARD_E_WRITE_TOO_MANY),
    VELK_SYMBOL(SCARD_E_BAD_SEEK),
    VELK_SYMBOL(SCARD_E_INVALID_CHV),
    VELK_SYMBOL(SCARD_E_UNKNOWN_RES_MNG),
    VELK_SYMBOL(SCARD_E_NO_SUCH_CERTIFICATE),
    VELK_SYMBOL(SCARD_E_CERTIFICATE_UNAVAILABLE),
    VELK_SYMBOL(SCARD_E_NO_READERS_AVAILABLE),
    VELK_SYMBOL(SCARD_E_COMM_DATA_LOST),
    VELK_SYMBOL(SCARD_E_NO_KEY_CONTAINER),
    VELK_SYMBOL(SCARD_E_SERVER_TOO_BUSY),
    VELK_SYMBOL(SCARD_W_UNSUPPORTED_CARD),
    VELK_SYMBOL(SCARD_W_UNRESPONSIVE_CARD),
    VELK_SYMBOL(SCARD_W_UNPOWERED_CARD),
    VELK_SYMBOL(SCARD_W_RESET_CARD),
    VELK_SYMBOL(SCARD_W_REMOVED_CARD),
    VELK_SYMBOL(SCARD_W_SECURITY_VIOLATION),
    VELK_SYMBOL(SCARD_W_WRONG_CHV),
    VELK_SYMBOL(SCARD_W_CHV_BLOCKED),
    VELK_SYMBOL(SCARD_W_EOF),
    VELK_SYMBOL(SCARD_W_CANCELLED_BY_USER),
    VELK_SYMBOL(SCARD_W_CARD_NOT_AUTHENTICATED),
};
#undef VELK_SYMBOL

TEST(ErrorText, EachSymbolNamesItsOwnCode) {
    ASSERT_EQ(std::size(kSymbols), 59u);
    std::set<uint32_t> codes;
    for (const Symbol& s : kSymbols) {
        // As PC/SC hands it over: a LONG, negative on i386, positive on x86_64.
        const std::string text = velk::sCardErrorCodeToStr(static_cast<LONG>(s.code));
        const std::string prefix = std::string(s.name) + " (";
        EXPECT_EQ(text.compare(0, prefix.size(), prefix), 0) << std::hex << s.code << ": " << text;
        EXPECT_GT(text.size(), prefix.size() + 2) << text;
        EXPECT_EQ(text.compare(text.size() - 2, 2, ".)"), 0) << text;
        EXPECT_TRUE(codes.insert(s.code).second) << s.name << " shares its code";
    }
}

TEST(ErrorText, ExactTexts) {
    // One of each class, and wordings that differ from pcsclite.h's comments.
    const std::pair<LONG, const char*> kTexts[] = {
        {SCARD_F_INTERNAL_ERROR, "SCARD_F_INTERNAL_ERROR (An internal consistency check failed.)"},
        {SCARD_E_CANCELLED,
         "SCARD_E_CANCELLED (The action was canceled by an SCardCancel request.)"},
        {SCARD_E_INSUFFICIENT_BUFFER,
         "SCARD_E_INSUFFICIENT_BUFFER (The data buffer for returned data is too small for the "
         "returned data.)"},
        {SCARD_P_SHUTDOWN,
         "SCARD_P_SHUTDOWN (The operation has been aborted to allow the server application to "
         "exit.)"},
        {SCARD_W_RESET_CARD, "SCARD_W_RESET_CARD (The smart card was reset.)"},
        {SCARD_W_CARD_NOT_AUTHENTICATED,
         "SCARD_W_CARD_NOT_AUTHENTICATED (No PIN was presented to the smart card.)"},
    };
    for (const auto& [code, text] : kTexts) {
        EXPECT_EQ(velk::sCardErrorCodeToStr(code), text);
    }
}

TEST(ErrorText, NeighboursOfTheTableAreUnknown) {
    std::set<uint32_t> known;
    for (const Symbol& s : kSymbols) {
        known.insert(s.code);
    }
    for (uint32_t code = 0x80100000; code <= 0x80100070; ++code) {
        if (known.count(code) == 0) {
            std::string text = velk::sCardErrorCodeToStr(static_cast<LONG>(code));
            EXPECT_EQ(text.rfind("unknown error (code=", 0), 0u) << text;
        }
    }
}

TEST(ErrorText, UnknownCodesInLowerCaseHexWithoutPadding) {
    EXPECT_EQ(velk::sCardErrorCodeToStr(static_cast<LONG>(0x80100032)),
              "unknown error (code=80100032)");
    EXPECT_EQ(velk::sCardErrorCodeToStr(static_cast<LONG>(0x8010003A)),
              "unknown error (code=8010003a)");
    EXPECT_EQ(velk::sCardErrorCodeToStr(SCARD_S_SUCCESS), "unknown error (code=0)");
    EXPECT_EQ(velk::sCardErrorCodeToStr(1), "unknown error (code=1)");
    EXPECT_EQ(velk::sCardErrorCodeToStr(-1), "unknown error (code=ffffffff)");
}

TEST(ErrorText, CodeArrivingSignExtendedOnWideLongIsStillKnown) {
    // x86_64's LONG may carry a code either way; its text must not depend on it.
    long negative = static_cast<int32_t>(0x8010001D);
    EXPECT_EQ(velk::sCardErrorCodeToStr(negative),
              "SCARD_E_NO_SERVICE (The smart card resource manager is not running.)");
}

}  // namespace
