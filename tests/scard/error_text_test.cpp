// The readable texts of PC/SC result codes: the whole known table, and the
// format of every other code on both PC/SC LONG widths.
#include "errors/error_text.h"

#include <gtest/gtest.h>
#include <winscard.h>

#include <cstdint>
#include <set>

namespace {

struct CodeText {
    uint32_t code;
    const char* text;
};

const CodeText kExpected[] = {
    {0x80100001, "SCARD_F_INTERNAL_ERROR (An internal consistency check failed.)"},
    {0x80100002, "SCARD_E_CANCELLED (The action was canceled by an SCardCancel request.)"},
    {0x80100003, "SCARD_E_INVALID_HANDLE (The supplied handle was not valid.)"},
    {0x80100004,
     "SCARD_E_INVALID_PARAMETER (One or more of the supplied parameters could not be properly "
     "interpreted.)"},
    {0x80100005, "SCARD_E_INVALID_TARGET (Registry startup information is missing or not valid.)"},
    {0x80100006, "SCARD_E_NO_MEMORY (Not enough memory available to complete this command.)"},
    {0x80100007, "SCARD_F_WAITED_TOO_LONG (An internal consistency timer has expired.)"},
    {0x80100008,
     "SCARD_E_INSUFFICIENT_BUFFER (The data buffer for returned data is too small for the returned "
     "data.)"},
    {0x80100009, "SCARD_E_UNKNOWN_READER (The specified reader name is not recognized.)"},
    {0x8010000A, "SCARD_E_TIMEOUT (The user-specified time-out value has expired.)"},
    {0x8010000B,
     "SCARD_E_SHARING_VIOLATION (The smart card cannot be accessed because of other outstanding "
     "connections.)"},
    {0x8010000C,
     "SCARD_E_NO_SMARTCARD (The operation requires a smart card, but no smart card is currently in "
     "the device.)"},
    {0x8010000D, "SCARD_E_UNKNOWN_CARD (The specified smart card name is not recognized.)"},
    {0x8010000E,
     "SCARD_E_CANT_DISPOSE (The system could not dispose of the media in the requested manner.)"},
    {0x8010000F,
     "SCARD_E_PROTO_MISMATCH (The requested protocols are incompatible with the protocol currently "
     "in use with the card.)"},
    {0x80100010, "SCARD_E_NOT_READY (The reader or card is not ready to accept commands.)"},
    {0x80100011,
     "SCARD_E_INVALID_VALUE (One or more of the supplied parameter values could not be properly "
     "interpreted.)"},
    {0x80100012,
     "SCARD_E_SYSTEM_CANCELLED (The action was canceled by the system, presumably to log off or "
     "shut down.)"},
    {0x80100013, "SCARD_F_COMM_ERROR (An internal communications error has been detected.)"},
    {0x80100014,
     "SCARD_F_UNKNOWN_ERROR (An internal error has been detected, but the source is unknown.)"},
    {0x80100015,
     "SCARD_E_INVALID_ATR (An ATR string obtained from the registry is not a valid ATR string.)"},
    {0x80100016, "SCARD_E_NOT_TRANSACTED (An attempt was made to end a nonexistent transaction.)"},
    {0x80100017,
     "SCARD_E_READER_UNAVAILABLE (The specified reader is not currently available for use.)"},
    {0x80100018,
     "SCARD_P_SHUTDOWN (The operation has been aborted to allow the server application to exit.)"},
    {0x80100019, "SCARD_E_PCI_TOO_SMALL (The PCI receive buffer was too small.)"},
    {0x8010001A,
     "SCARD_E_READER_UNSUPPORTED (The reader driver does not meet minimal requirements for "
     "support.)"},
    {0x8010001B,
     "SCARD_E_DUPLICATE_READER (The reader driver did not produce a unique reader name.)"},
    {0x8010001C,
     "SCARD_E_CARD_UNSUPPORTED (The smart card does not meet minimal requirements for support.)"},
    {0x8010001D, "SCARD_E_NO_SERVICE (The smart card resource manager is not running.)"},
    {0x8010001E, "SCARD_E_SERVICE_STOPPED (The smart card resource manager has shut down.)"},
    {0x8010001F, "SCARD_E_UNEXPECTED (An unexpected card error has occurred.)"},
    {0x80100020, "SCARD_E_ICC_INSTALLATION (No primary provider can be found for the smart card.)"},
    {0x80100021,
     "SCARD_E_ICC_CREATEORDER (The requested order of object creation is not supported.)"},
    {0x80100023,
     "SCARD_E_DIR_NOT_FOUND (The specified directory does not exist in the smart card.)"},
    {0x80100024, "SCARD_E_FILE_NOT_FOUND (The specified file does not exist in the smart card.)"},
    {0x80100025, "SCARD_E_NO_DIR (The supplied path does not represent a smart card directory.)"},
    {0x80100026, "SCARD_E_NO_FILE (The supplied path does not represent a smart card file.)"},
    {0x80100027, "SCARD_E_NO_ACCESS (Access is denied to the file.)"},
    {0x80100028,
     "SCARD_E_WRITE_TOO_MANY (An attempt was made to write more data than would fit in the target "
     "object.)"},
    {0x80100029,
     "SCARD_E_BAD_SEEK (An error occurred in setting the smart card file object pointer.)"},
    {0x8010002A, "SCARD_E_INVALID_CHV (The supplied PIN is incorrect.)"},
    {0x8010002B, "SCARD_E_UNKNOWN_RES_MNG (An unrecognized error code was returned.)"},
    {0x8010002C, "SCARD_E_NO_SUCH_CERTIFICATE (The requested certificate does not exist.)"},
    {0x8010002D,
     "SCARD_E_CERTIFICATE_UNAVAILABLE (The requested certificate could not be obtained.)"},
    {0x8010002E, "SCARD_E_NO_READERS_AVAILABLE (No smart card reader is available.)"},
    {0x8010002F,
     "SCARD_E_COMM_DATA_LOST (A communications error with the smart card has been detected.)"},
    {0x80100030,
     "SCARD_E_NO_KEY_CONTAINER (The requested key container does not exist on the smart card.)"},
    {0x80100031,
     "SCARD_E_SERVER_TOO_BUSY (The smart card resource manager is too busy to complete this "
     "operation.)"},
    {0x80100065,
     "SCARD_W_UNSUPPORTED_CARD (The reader cannot communicate with the card, due to ATR string "
     "configuration conflicts.)"},
    {0x80100066, "SCARD_W_UNRESPONSIVE_CARD (The smart card is not responding to a reset.)"},
    {0x80100067,
     "SCARD_W_UNPOWERED_CARD (Power has been removed from the smart card, so that further "
     "communication is not possible.)"},
    {0x80100068, "SCARD_W_RESET_CARD (The smart card was reset.)"},
    {0x80100069,
     "SCARD_W_REMOVED_CARD (The smart card has been removed, so further communication is not "
     "possible.)"},
    {0x8010006A, "SCARD_W_SECURITY_VIOLATION (Access was denied because of a security violation.)"},
    {0x8010006B,
     "SCARD_W_WRONG_CHV (The card cannot be accessed because the wrong PIN was presented.)"},
    {0x8010006C,
     "SCARD_W_CHV_BLOCKED (The card cannot be accessed because the maximum number of PIN entry "
     "attempts has been reached.)"},
    {0x8010006D, "SCARD_W_EOF (The end of the smart card file has been reached.)"},
    {0x8010006E, "SCARD_W_CANCELLED_BY_USER (The action was canceled by the user.)"},
    {0x8010006F, "SCARD_W_CARD_NOT_AUTHENTICATED (No PIN was presented to the smart card.)"},
};

TEST(ErrorText, EveryKnownCodeHasItsText) {
    ASSERT_EQ(std::size(kExpected), 59u);
    for (const CodeText& row : kExpected) {
        // As PC/SC hands it over: a LONG, negative on i386, positive on x86_64.
        EXPECT_EQ(velk::sCardErrorCodeToStr(static_cast<LONG>(row.code)), row.text)
            << std::hex << row.code;
    }
}

TEST(ErrorText, NeighboursOfTheTableAreUnknown) {
    std::set<uint32_t> known;
    for (const CodeText& row : kExpected) {
        known.insert(row.code);
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
