package com.vormel.kx.smartcardio;

import javax.smartcardio.ResponseAPDU;

/**
 * What an answer of {@link VelkCard#verifyPin} or {@link VelkCard#modifyPin} means: the card's
 * own answer, or the reader's word that PIN entry did not reach the card.
 */
public enum PinPadStatus {
    /** The PIN reached the card; the status word is the card's. */
    CARD_ANSWERED,
    /** Nobody typed in time (SW 6400). */
    TIMEOUT,
    /** The user cancelled (SW 6401). */
    CANCELLED,
    /** The new PIN and its confirmation differ (SW 6402). */
    CONFIRMATION_MISMATCH,
    /** The PIN typed was too short or too long (SW 6403). */
    LENGTH_OUT_OF_RANGE,
    /** The reader refused the PIN structure (SW 6B80). */
    INVALID_STRUCTURE;

    /**
     * The meaning of a PIN entry's answer. A card may answer 6400 or 6B80 itself; a reader's
     * answer carries no data, which this method cannot tell apart.
     *
     * @param response the answer
     * @return its meaning
     */
    public static PinPadStatus of(ResponseAPDU response) {
        if (response.getNr() != 0) {
            return CARD_ANSWERED;
        }
        switch (response.getSW()) {
            case 0x6400:
                return TIMEOUT;
            case 0x6401:
                return CANCELLED;
            case 0x6402:
                return CONFIRMATION_MISMATCH;
            case 0x6403:
                return LENGTH_OUT_OF_RANGE;
            case 0x6B80:
                return INVALID_STRUCTURE;
            default:
                return CARD_ANSWERED;
        }
    }
}
