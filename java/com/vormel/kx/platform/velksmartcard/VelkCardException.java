package com.vormel.kx.platform.velksmartcard;

/**
 * A PC/SC call failed. The message names the call and gives the readable text of the PC/SC
 * result code, for example {@code "SCardConnect failed with code SCARD_E_NO_SMARTCARD (The
 * operation requires a smart card, but no smart card is currently in the device.)"}.
 *
 * <p>{@link #getErrorCode()} gives the PC/SC code that the text names, so that callers can
 * compare numbers instead of matching strings. The exception is immutable: any thread may read
 * it.
 */
public class VelkCardException extends Exception {
    private static final long serialVersionUID = 1L;

    private static final String CODE_MARK = " failed with code ";
    private static final String REQUIRED_MARK = " insufficient pbAttr buffer size. Required=";
    private static final String UNKNOWN_MARK = "unknown error (code=";
    private static final int FIRST_ERRORS = 0x80100001;
    // The control call's name for the code that SCARD_E_UNEXPECTED also has.
    private static final String UNSUPPORTED_FEATURE = "SCARD_E_UNSUPPORTED_FEATURE";
    private static final int UNSUPPORTED_FEATURE_CODE = 0x8010001F;
    private static final int FIRST_WARNINGS = 0x80100065;
    // The symbols that the bridge's texts start with, in code order from FIRST_ERRORS and
    // FIRST_WARNINGS; 0x80100022 has none.
    private static final String[] ERRORS = {
        "SCARD_F_INTERNAL_ERROR", "SCARD_E_CANCELLED", "SCARD_E_INVALID_HANDLE",
        "SCARD_E_INVALID_PARAMETER", "SCARD_E_INVALID_TARGET", "SCARD_E_NO_MEMORY",
        "SCARD_F_WAITED_TOO_LONG", "SCARD_E_INSUFFICIENT_BUFFER", "SCARD_E_UNKNOWN_READER",
        "SCARD_E_TIMEOUT", "SCARD_E_SHARING_VIOLATION", "SCARD_E_NO_SMARTCARD",
        "SCARD_E_UNKNOWN_CARD", "SCARD_E_CANT_DISPOSE", "SCARD_E_PROTO_MISMATCH",
        "SCARD_E_NOT_READY", "SCARD_E_INVALID_VALUE", "SCARD_E_SYSTEM_CANCELLED",
        "SCARD_F_COMM_ERROR", "SCARD_F_UNKNOWN_ERROR", "SCARD_E_INVALID_ATR",
        "SCARD_E_NOT_TRANSACTED", "SCARD_E_READER_UNAVAILABLE", "SCARD_P_SHUTDOWN",
        "SCARD_E_PCI_TOO_SMALL", "SCARD_E_READER_UNSUPPORTED", "SCARD_E_DUPLICATE_READER",
        "SCARD_E_CARD_UNSUPPORTED", "SCARD_E_NO_SERVICE", "SCARD_E_SERVICE_STOPPED",
        "SCARD_E_UNEXPECTED", "SCARD_E_ICC_INSTALLATION", "SCARD_E_ICC_CREATEORDER", null,
        "SCARD_E_DIR_NOT_FOUND", "SCARD_E_FILE_NOT_FOUND", "SCARD_E_NO_DIR", "SCARD_E_NO_FILE",
        "SCARD_E_NO_ACCESS", "SCARD_E_WRITE_TOO_MANY", "SCARD_E_BAD_SEEK", "SCARD_E_INVALID_CHV",
        "SCARD_E_UNKNOWN_RES_MNG", "SCARD_E_NO_SUCH_CERTIFICATE",
        "SCARD_E_CERTIFICATE_UNAVAILABLE", "SCARD_E_NO_READERS_AVAILABLE",
        "SCARD_E_COMM_DATA_LOST", "SCARD_E_NO_KEY_CONTAINER", "SCARD_E_SERVER_TOO_BUSY"};
    private static final String[] WARNINGS = {
        "SCARD_W_UNSUPPORTED_CARD", "SCARD_W_UNRESPONSIVE_CARD", "SCARD_W_UNPOWERED_CARD",
        "SCARD_W_RESET_CARD", "SCARD_W_REMOVED_CARD", "SCARD_W_SECURITY_VIOLATION",
        "SCARD_W_WRONG_CHV", "SCARD_W_CHV_BLOCKED", "SCARD_W_EOF", "SCARD_W_CANCELLED_BY_USER",
        "SCARD_W_CARD_NOT_AUTHENTICATED"};

    /**
     * Creates the exception.
     *
     * @param message the failed call and the PC/SC error text
     */
    public VelkCardException(String message) {
        super(message);
    }

    /**
     * Returns the PC/SC result code that the message names: the code of its symbol (for
     * example {@code 0x8010000C} for {@code SCARD_E_NO_SMARTCARD}), or the number of an
     * {@code "unknown error (code=...)"} text, read as the code's 32-bit pattern.
     *
     * @return the PC/SC code, or 0 when the message names none
     */
    public int getErrorCode() {
        String text = errorText(getMessage());
        if (text == null) {
            return 0;
        }
        if (text.startsWith(UNKNOWN_MARK)) {
            int end = text.indexOf(')', UNKNOWN_MARK.length());
            try {
                return Integer.parseUnsignedInt(text.substring(UNKNOWN_MARK.length(), end), 16);
            } catch (RuntimeException e) {
                return 0;
            }
        }
        int blank = text.indexOf(' ');
        String symbol = blank < 0 ? text : text.substring(0, blank);
        if (symbol.equals(UNSUPPORTED_FEATURE)) {
            return UNSUPPORTED_FEATURE_CODE;
        }
        int code = find(ERRORS, FIRST_ERRORS, symbol);
        return code != 0 ? code : find(WARNINGS, FIRST_WARNINGS, symbol);
    }

    // Where the error text starts: after " failed with code ", or after the required length
    // of an attribute read that found its buffer too small.
    private static String errorText(String message) {
        if (message == null) {
            return null;
        }
        int mark = message.indexOf(CODE_MARK);
        if (mark >= 0) {
            return message.substring(mark + CODE_MARK.length());
        }
        mark = message.indexOf(REQUIRED_MARK);
        int end = mark < 0 ? -1 : message.indexOf(". ", mark + REQUIRED_MARK.length());
        return end < 0 ? null : message.substring(end + 2);
    }

    private static int find(String[] symbols, int first, String symbol) {
        for (int i = 0; i < symbols.length; ++i) {
            if (symbol.equals(symbols[i])) {
                return first + i;
            }
        }
        return 0;
    }
}
