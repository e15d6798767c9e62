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
// clang-format off
#define VELK_SYMBOLS(X) \
    X(SCARD_F_INTERNAL_ERROR) X(SCARD_E_CANCELLED) X(SCARD_E_INVALID_HANDLE) \
    X(SCARD_E_INVALID_PARAMETER) X(SCARD_E_INVALID_TARGET) X(SCARD_E_NO_MEMORY) \
    X(SCARD_F_WAITED_TOO_LONG) X(SCARD_E_INSUFFICIENT_BUFFER) X(SCARD_E_UNKNOWN_READER) \
    X(SCARD_E_TIMEOUT) X(SCARD_E_SHARING_VIOLATION) X(SCARD_E_NO_SMARTCARD) \
    X(SCARD_E_UNKNOWN_CARD) X(SCARD_E_CANT_DISPOSE) X(SCARD_E_PROTO_MISMATCH) \
    X(SCARD_E_NOT_READY) X(SCARD_E_INVALID_VALUE) X(SCARD_E_SYSTEM_CANCELLED) \
    X(SCARD_F_COMM_ERROR) X(SCARD_F_UNKNOWN_ERROR) X(SCARD_E_INVALID_ATR) \
    X(SCARD_E_NOT_TRANSACTED) X(SCARD_E_READER_UNAVAILABLE) X(SCARD_P_SHUTDOWN) \
    X(SCARD_E_PCI_TOO_SMALL) X(SCARD_E_READER_UNSUPPORTED) X(SCARD_E_DUPLICATE_READER) \
    X(SCARD_E_CARD_UNSUPPORTED) X(SCARD_E_NO_SERVICE) X(SCARD_E_SERVICE_STOPPED) \
    X(SCARD_E_UNEXPECTED) X(SCARD_E_ICC_INSTALLATION) X(SCARD_E_ICC_CREATEORDER) \
    X(SCARD_E_DIR_NOT_FOUND) X(SCARD_E_FILE_NOT_FOUND) X(SCARD_E_NO_DIR) X(SCARD_E_NO_FILE) \
    X(SCARD_E_NO_ACCESS) X(SCARD_E_WRITE_TOO_MANY) X(SCARD_E_BAD_SEEK) X(SCARD_E_INVALID_CHV) \
    X(SCARD_E_UNKNOWN_RES_MNG) X(SCARD_E_NO_SUCH_CERTIFICATE) X(SCARD_E_CERTIFICATE_UNAVAILABLE) \
    X(SCARD_E_NO_READERS_AVAILABLE) X(SCARD_E_COMM_DATA_LOST) X(SCARD_E_NO_KEY_CONTAINER) \
    X(SCARD_E_SERVER_TOO_BUSY) X(SCARD_W_UNSUPPORTED_CARD) X(SCARD_W_UNRESPONSIVE_CARD) \
    X(SCARD_W_UNPOWERED_CARD) X(SCARD_W_RESET_CARD) X(SCARD_W_REMOVED_CARD) \
    X(SCARD_W_SECURITY_VIOLATION) X(SCARD_W_WRONG_CHV) X(SCARD_W_CHV_BLOCKED) X(SCARD_W_EOF) \
    X(SCARD_W_CANCELLED_BY_USER) X(SCARD_W_CARD_NOT_AUTHENTICATED)
// clang-format on
#define VELK_SYMBOL(name) {#name, static_cast<uint32_t>(name)},
const Symbol kSymbols[] = {VELK_SYMBOLS(VELK_SYMBOL)};
#undef VELK_SYMBOL
#undef VELK_SYMBOLS

TEST(ErrorText, EachSymbolNamesItsOwnCodeAndNoOtherCodeIsKnown) {
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
    for (uint32_t code = 0x80100000; code <= 0x80100070; ++code) {
        if (codes.count(code) == 0) {
            std::string text = velk::sCardErrorCodeToStr(static_cast<LONG>(code));
            EXPECT_EQ(text.rfind("unknown error (code=", 0), 0u) << text;
        }
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
