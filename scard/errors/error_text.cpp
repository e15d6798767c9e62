#include "errors/error_text.h"

#include <cstdint>
#include <cstdio>
#include <string>

namespace velk {

namespace {

struct CodeText {
    uint32_t code;
    const char* text;
};

// Kept in ascending order of code.
constexpr CodeText kTexts[] = {
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
    {0x8010000a, "SCARD_E_TIMEOUT (The user-specified time-out value has expired.)"},
    {0x8010000b,
     "SCARD_E_SHARING_VIOLATION (The smart card cannot be accessed because of other outstanding "
     "connections.)"},
    {0x8010000c,
     "SCARD_E_NO_SMARTCARD (The operation requires a smart card, but no smart card is currently in "
     "the device.)"},
    {0x8010000d, "SCARD_E_UNKNOWN_CARD (The specified smart card name is not recognized.)"},
    {0x8010000e,
     "SCARD_E_CANT_DISPOSE (The system could not dispose of the media in the requested manner.)"},
    {0x8010000f,
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
    {0x8010001a,
     "SCARD_E_READER_UNSUPPORTED (The reader driver does not meet minimal requirements for "
     "support.)"},
    {0x8010001b,
     "SCARD_E_DUPLICATE_READER (The reader driver did not produce a unique reader name.)"},
    {0x8010001c,
     "SCARD_E_CARD_UNSUPPORTED (The smart card does not meet minimal requirements for support.)"},
    {0x8010001d, "SCARD_E_NO_SERVICE (The smart card resource manager is not running.)"},
    {0x8010001e, "SCARD_E_SERVICE_STOPPED (The smart card resource manager has shut down.)"},
    {0x8010001f, "SCARD_E_UNEXPECTED (An unexpected card error has occurred.)"},
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
    {0x8010002a, "SCARD_E_INVALID_CHV (The supplied PIN is incorrect.)"},
    {0x8010002b, "SCARD_E_UNKNOWN_RES_MNG (An unrecognized error code was returned.)"},
    {0x8010002c, "SCARD_E_NO_SUCH_CERTIFICATE (The requested certificate does not exist.)"},
    {0x8010002d,
     "SCARD_E_CERTIFICATE_UNAVAILABLE (The requested certificate could not be obtained.)"},
    {0x8010002e, "SCARD_E_NO_READERS_AVAILABLE (No smart card reader is available.)"},
    {0x8010002f,
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
    {0x8010006a, "SCARD_W_SECURITY_VIOLATION (Access was denied because of a security violation.)"},
    {0x8010006b,
     "SCARD_W_WRONG_CHV (The card cannot be accessed because the wrong PIN was presented.)"},
    {0x8010006c,
     "SCARD_W_CHV_BLOCKED (The card cannot be accessed because the maximum number of PIN entry "
     "attempts has been reached.)"},
    {0x8010006d, "SCARD_W_EOF (The end of the smart card file has been reached.)"},
    {0x8010006e, "SCARD_W_CANCELLED_BY_USER (The action was canceled by the user.)"},
    {0x8010006f, "SCARD_W_CARD_NOT_AUTHENTICATED (No PIN was presented to the smart card.)"},
};

}  // namespace

std::string sCardErrorCodeToStr(long code) {
    // Codes are 32-bit patterns; on x86_64 PC/SC's LONG carries them unsigned.
    auto pattern = static_cast<uint32_t>(code);
    for (const CodeText& entry : kTexts) {
        if (entry.code == pattern) {
            return entry.text;
        }
    }
    char hex[9];
    std::snprintf(hex, sizeof hex, "%x", static_cast<unsigned>(pattern));
    return std::string("unknown error (code=") + hex + ")";
}

std::string controlErrorCodeToStr(long code) {
    if (static_cast<uint32_t>(code) == 0x8010001f) {
        return "SCARD_E_UNSUPPORTED_FEATURE (This smart card does not support the requested "
               "feature.)";
    }
    return sCardErrorCodeToStr(code);
}

}  // namespace velk
