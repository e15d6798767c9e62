package com.vormel.kx.smartcardio;

import java.io.ByteArrayOutputStream;

/**
 * A PIN verification on the reader's keypad: the command APDU (its template, which the reader
 * completes with the PIN typed), how the PIN goes into it, and how entry proceeds. {@link
 * VelkCard#verifyPin} sends it; {@link #toStructure} gives the reader's {@code
 * PIN_VERIFY_STRUCTURE}.
 *
 * <pre>{@code
 * // VERIFY of PIN reference 1: 4 to 8 ASCII digits in an 8-byte block padded with 0xFF.
 * byte[] verify = {0x00, 0x20, 0x00, 0x01, 0x08, -1, -1, -1, -1, -1, -1, -1, -1};
 * PinVerification pin = PinVerification.builder(verify,
 *         PinFormat.builder(PinFormat.Encoding.ASCII).blockSize(8).build())
 *         .digits(4, 8).timeout(30).build();
 * ResponseAPDU r = card.verifyPin(pin);
 * switch (PinPadStatus.of(r)) {
 *     case CARD_ANSWERED: ... r.getSW() is the card's verdict (0x9000, 0x63Cx, ...)
 *     case CANCELLED:     ... the user pressed Cancel
 *     case TIMEOUT:       ... nobody typed in time
 *     default:            ... see PinPadStatus
 * }
 * }</pre>
 */
public final class PinVerification {
    /** Entry ends when the maximum number of digits has been typed. */
    public static final int VALIDATION_MAX_DIGITS = 0x01;
    /** Entry ends when the user presses the validation (OK) key. */
    public static final int VALIDATION_KEY = 0x02;
    /** Entry ends when the timeout expires. */
    public static final int VALIDATION_TIMEOUT = 0x04;

    private final PinFields fields;
    private final int msgIndex;

    private PinVerification(Builder b) {
        fields = b.fields.copy();
        msgIndex = b.msgIndex;
    }

    /**
     * A builder for this template and format. Defaults: 4 to 8 digits, entry ends with the OK
     * key, the reader's own timeouts, no message, language 0x0409.
     *
     * @param apduTemplate the command APDU: header, Lc and the data the PIN goes into
     * @param format how the PIN goes into the data
     * @return the builder
     * @throws IllegalArgumentException if either is null
     */
    public static Builder builder(byte[] apduTemplate, PinFormat format) {
        return new Builder(apduTemplate, format);
    }

    /**
     * The {@code PIN_VERIFY_STRUCTURE} for the reader, little-endian as pcsc-lite lays it out.
     *
     * @return a new array
     */
    public byte[] toStructure() {
        ByteArrayOutputStream out = new ByteArrayOutputStream();
        fields.writeHead(out);
        fields.writeDigits(out);
        out.write(fields.validation);
        out.write(fields.numberMessage);
        PinFields.writeLe(out, fields.langId, 2);
        out.write(msgIndex);
        fields.writeTail(out);
        return out.toByteArray();
    }

    /** Builds a {@link PinVerification}; {@link #build} checks the whole. */
    public static final class Builder extends PinEntryBuilder<Builder> {
        private int msgIndex;

        private Builder(byte[] apduTemplate, PinFormat format) {
            super(apduTemplate, format);
        }

        @Override
        Builder self() {
            return this;
        }





        /**
         * The messages the reader shows.
         *
         * @param number how many messages, 0 or 1
         * @param langId the language, for example 0x0409 for English
         * @param index which message, 0 to 255
         * @return this builder
         */
        public Builder messages(int number, int langId, int index) {
            fields.messages(number, langId, 1);
            msgIndex = PinFields.byteValue("msgIndex", index);
            return this;
        }

        /**
         * The verification, once the template, format and digits fit together.
         *
         * @return the verification
         * @throws IllegalArgumentException naming the field that does not fit
         */
        public PinVerification build() {
            fields.check(0);
            return new PinVerification(this);
        }
    }
}
