package com.vormel.kx.testkit;

import java.util.regex.Pattern;

/** The readable texts of the PC/SC result codes that the suites expect to meet. */
public final class PcscTexts {
    private PcscTexts() {}

    public static final String INVALID_HANDLE =
            "SCARD_E_INVALID_HANDLE (The supplied handle was not valid.)";
    public static final String NO_SERVICE =
            "SCARD_E_NO_SERVICE (The smart card resource manager is not running.)";
    public static final String UNKNOWN_READER =
            "SCARD_E_UNKNOWN_READER (The specified reader name is not recognized.)";
    public static final String NOT_TRANSACTED =
            "SCARD_E_NOT_TRANSACTED (An attempt was made to end a nonexistent transaction.)";
    public static final String INSUFFICIENT_BUFFER =
            "SCARD_E_INSUFFICIENT_BUFFER (The data buffer for returned data is too small for the"
                    + " returned data.)";
    public static final String REMOVED_CARD =
            "SCARD_W_REMOVED_CARD (The smart card has been removed, so further communication is"
                    + " not possible.)";
    public static final String NO_SMARTCARD =
            "SCARD_E_NO_SMARTCARD (The operation requires a smart card, but no smart card is"
                    + " currently in the device.)";
    public static final String INVALID_PARAMETER =
            "SCARD_E_INVALID_PARAMETER (One or more of the supplied parameters could not be"
                    + " properly interpreted.)";
    public static final String INVALID_VALUE =
            "SCARD_E_INVALID_VALUE (One or more of the supplied parameter values could not be"
                    + " properly interpreted.)";

    /** A failure of the call ("SCardTransmit") with any code's text: the code depends on timing. */
    public static Pattern anyFailureOf(String call) {
        return Pattern.compile(Pattern.quote(call + " failed with code ")
                + "SCARD_[EWFP]_[A-Z_]+ \\(.+\\)");
    }
}
