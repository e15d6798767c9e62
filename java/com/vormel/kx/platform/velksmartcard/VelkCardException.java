package com.vormel.kx.platform.velksmartcard;

/**
 * A PC/SC call failed. The message names the call and gives the readable text of the PC/SC
 * result code, for example {@code "SCardConnect failed with code SCARD_E_NO_SMARTCARD (The
 * operation requires a smart card, but no smart card is currently in the device.)"}.
 */
public class VelkCardException extends Exception {
    private static final long serialVersionUID = 1L;

    /**
     * Creates the exception.
     *
     * @param message the failed call and the PC/SC error text
     */
    public VelkCardException(String message) {
        super(message);
    }
}
