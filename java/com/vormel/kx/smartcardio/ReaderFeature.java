package com.vormel.kx.smartcardio;

/**
 * A reader feature that a pin-pad reader can list in its answer to {@code
 * CM_IOCTL_GET_FEATURE_REQUEST}, with the tag the reader gives it. {@link VelkCard#features()}
 * maps each feature the reader has to the control code that performs it.
 */
public enum ReaderFeature {
    /** Starts a PIN verification in two steps. */
    VERIFY_PIN_START(0x01),
    /** Finishes a PIN verification in two steps. */
    VERIFY_PIN_FINISH(0x02),
    /** Starts a PIN change in two steps. */
    MODIFY_PIN_START(0x03),
    /** Finishes a PIN change in two steps. */
    MODIFY_PIN_FINISH(0x04),
    /** Reads the last key pressed. */
    GET_KEY_PRESSED(0x05),
    /** PIN verification on the reader's keypad in one step ({@link VelkCard#verifyPin}). */
    VERIFY_PIN_DIRECT(0x06),
    /** PIN change on the reader's keypad in one step ({@link VelkCard#modifyPin}). */
    MODIFY_PIN_DIRECT(0x07),
    /** Direct access to the reader (MKT). */
    MCT_READER_DIRECT(0x08),
    /** Universal reader command (MKT). */
    MCT_UNIVERSAL(0x09),
    /** The reader's display and PIN entry properties ({@link VelkCard#pinProperties()}). */
    IFD_PIN_PROPERTIES(0x0A),
    /** Aborts a PIN entry. */
    ABORT(0x0B),
    /** Sets the messages the reader shows. */
    SET_SPE_MESSAGE(0x0C),
    /** PIN verification addressed by application identifier. */
    VERIFY_PIN_DIRECT_APP_ID(0x0D),
    /** PIN change addressed by application identifier. */
    MODIFY_PIN_DIRECT_APP_ID(0x0E),
    /** Writes to the reader's display. */
    WRITE_DISPLAY(0x0F),
    /** Reads a key. */
    GET_KEY(0x10),
    /** The reader's display properties. */
    IFD_DISPLAY_PROPERTIES(0x11),
    /** The reader's properties as tag, length and value ({@link VelkCard#pinProperties()}). */
    GET_TLV_PROPERTIES(0x12),
    /** Escape commands of a CCID reader. */
    CCID_ESC_COMMAND(0x13),
    /** Password authenticated connection establishment. */
    EXECUTE_PACE(0x20);

    private final int tag;

    ReaderFeature(int tag) {
        this.tag = tag;
    }

    /**
     * The tag of this feature in the reader's feature list.
     *
     * @return the tag, 0x01 to 0x20
     */
    public int tag() {
        return tag;
    }

    /** The feature with this tag, or null for a tag this enum does not know. */
    static ReaderFeature ofTag(int tag) {
        for (ReaderFeature f : values()) {
            if (f.tag == tag) {
                return f;
            }
        }
        return null;
    }
}
