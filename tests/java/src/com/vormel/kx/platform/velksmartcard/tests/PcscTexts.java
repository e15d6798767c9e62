package com.vormel.kx.platform.velksmartcard.tests;

/** The readable texts of the PC/SC result codes that the suites expect to meet. */
final class PcscTexts {
    private PcscTexts() {}

    static final String INVALID_HANDLE = "SCARD_E_INVALID_HANDLE (The supplied handle was not valid.)";
    static final String NO_SERVICE =
            "SCARD_E_NO_SERVICE (The smart card resource manager is not running.)";
    static final String UNKNOWN_READER =
            "SCARD_E_UNKNOWN_READER (The specified reader name is not recognized.)";
    static final String NOT_TRANSACTED =
            "SCARD_E_NOT_TRANSACTED (An attempt was made to end a nonexistent transaction.)";
    static final String INSUFFICIENT_BUFFER =
            "SCARD_E_INSUFFICIENT_BUFFER (The data buffer for returned data is too small for the"
                    + " returned data.)";
    static final String REMOVED_CARD =
            "SCARD_W_REMOVED_CARD (The smart card has been removed, so further communication is"
                    + " not possible.)";
    static final String NO_SMARTCARD =
            "SCARD_E_NO_SMARTCARD (The operation requires a smart card, but no smart card is"
                    + " currently in the device.)";
    static final String INVALID_PARAMETER =
            "SCARD_E_INVALID_PARAMETER (One or more of the supplied parameters could not be"
                    + " properly interpreted.)";
    static final String INVALID_VALUE =
            "SCARD_E_INVALID_VALUE (One or more of the supplied parameter values could not be"
                    + " properly interpreted.)";
}
