package com.vormel.kx.smartcardio;

import com.vormel.kx.platform.velksmartcard.VelkCardException;
import javax.smartcardio.CardException;
import javax.smartcardio.CardNotPresentException;

/** The PC/SC codes the provider acts on, and the exceptions that carry the bridge's failures. */
final class Failures {
    static final int SCARD_E_INVALID_HANDLE = 0x80100003;
    static final int SCARD_E_INSUFFICIENT_BUFFER = 0x80100008;
    static final int SCARD_E_NO_SMARTCARD = 0x8010000C;
    static final int SCARD_E_NO_SERVICE = 0x8010001D;
    static final int SCARD_E_SERVICE_STOPPED = 0x8010001E;
    static final int SCARD_W_REMOVED_CARD = 0x80100069;

    private Failures() {}

    /** Whether the failure says that the context's daemon has gone or restarted. */
    static boolean contextGone(VelkCardException e) {
        int code = e.getErrorCode();
        return code == SCARD_E_NO_SERVICE || code == SCARD_E_SERVICE_STOPPED
                || code == SCARD_E_INVALID_HANDLE;
    }

    /** The bridge's failure as a {@code CardException} with its text, caused by it. */
    static CardException card(VelkCardException e) {
        return new CardException(e.getMessage(), e);
    }

    /** The same, a {@code CardNotPresentException} when the reader has no card. */
    static CardException connect(VelkCardException e) {
        int code = e.getErrorCode();
        if (code == SCARD_E_NO_SMARTCARD || code == SCARD_W_REMOVED_CARD) {
            return new CardNotPresentException(e.getMessage(), e);
        }
        return card(e);
    }

    /**
     * An answer too short for a status word (vpcd gives an empty one when the card is pulled
     * in the middle of an exchange): the card failed, the caller's command was not at fault.
     */
    static CardException noStatusWord(int length) {
        return new CardException(
                "The card gave no status word: its response has " + length + " byte(s)");
    }

    /** A card's answer in an exception's text, as the JDK's provider shows it: "6A:81". */
    static String hex(byte[] bytes) {
        StringBuilder text = new StringBuilder();
        for (byte b : bytes) {
            text.append(text.length() == 0 ? "" : ":").append(String.format("%02X", b & 0xFF));
        }
        return text.toString();
    }

    /** A wait stopped by an interrupt; the thread's interrupt flag is set again. */
    static CardException interrupted() {
        Thread.currentThread().interrupt();
        return new CardException("waiting was interrupted", new InterruptedException());
    }
}
