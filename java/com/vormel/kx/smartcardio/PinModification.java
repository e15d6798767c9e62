package com.vormel.kx.smartcardio;

import java.io.ByteArrayOutputStream;

/**
 * A PIN change on the reader's keypad: the command APDU template, where the old and the new PIN
 * go into it, whether the reader asks for the current PIN and for the new one twice. {@link
 * VelkCard#modifyPin} sends it; {@link #toStructure} gives the reader's {@code
 * PIN_MODIFY_STRUCTURE}.
 *
 * <pre>{@code
 * // CHANGE REFERENCE DATA: old and new PIN, 8 ASCII bytes each, new PIN typed twice.
 * byte[] change = new byte[5 + 16];
 * change[1] = 0x24; change[3] = 0x01; change[4] = 16;
 * java.util.Arrays.fill(change, 5, change.length, (byte) 0xFF);
 * PinModification m = PinModification.builder(change,
 *         PinFormat.builder(PinFormat.Encoding.ASCII).blockSize(8).build())
 *         .offsets(0, 8).confirmNewPin(true).digits(4, 8).build();
 * ResponseAPDU r = card.modifyPin(m);
 * }</pre>
 */
public final class PinModification {
    private final PinFields fields;
    private final int offsetOld;
    private final int offsetNew;
    private final int confirm;
    private final int[] msgIndex;

    private PinModification(Builder b) {
        fields = b.fields.copy();
        offsetOld = b.offsetOld;
        offsetNew = b.offsetNew;
        confirm = (b.confirmNew ? 0x01 : 0) | (b.currentPin ? 0x02 : 0);
        msgIndex = b.msgIndex.clone();
    }

    /**
     * A builder for this template and format. Defaults: the current PIN is asked for, at offset
     * 0 and the new one at offset 0 (with a PIN block, set {@link Builder#offsets} apart), not
     * confirmed; 4 to 8 digits, entry ends with the OK key, the reader's own timeouts, no
     * messages.
     *
     * @param apduTemplate the command APDU: header, Lc and the data the PINs go into
     * @param format how each PIN goes into the data
     * @return the builder
     * @throws IllegalArgumentException if either is null
     */
    public static Builder builder(byte[] apduTemplate, PinFormat format) {
        return new Builder(apduTemplate, format);
    }

    /**
     * The {@code PIN_MODIFY_STRUCTURE} for the reader, little-endian as pcsc-lite lays it out.
     *
     * @return a new array
     */
    public byte[] toStructure() {
        ByteArrayOutputStream out = new ByteArrayOutputStream();
        fields.writeHead(out);
        out.write(offsetOld);
        out.write(offsetNew);
        fields.writeDigits(out);
        out.write(confirm);
        out.write(fields.validation);
        out.write(fields.numberMessage);
        PinFields.writeLe(out, fields.langId, 2);
        for (int index : msgIndex) {
            out.write(index);
        }
        fields.writeTail(out);
        return out.toByteArray();
    }

    /** Builds a {@link PinModification}; {@link #build} checks the whole. */
    public static final class Builder extends PinEntryBuilder<Builder> {
        private int offsetOld;
        private int offsetNew;
        private boolean confirmNew;
        private boolean currentPin = true;
        private final int[] msgIndex = new int[3];

        private Builder(byte[] apduTemplate, PinFormat format) {
            super(apduTemplate, format);
        }

        @Override
        Builder self() {
            return this;
        }

        /**
         * Where the old and the new PIN go: offsets added to the format's PIN position, in its
         * units.
         *
         * @param oldPin 0 to 255
         * @param newPin 0 to 255
         * @return this builder
         */
        public Builder offsets(int oldPin, int newPin) {
            offsetOld = PinFields.byteValue("insertionOffsetOld", oldPin);
            offsetNew = PinFields.byteValue("insertionOffsetNew", newPin);
            return this;
        }

        /**
         * Whether the reader asks for the new PIN a second time and refuses a mismatch.
         *
         * @param confirm true to confirm
         * @return this builder
         */
        public Builder confirmNewPin(boolean confirm) {
            confirmNew = confirm;
            return this;
        }

        /**
         * Whether the reader asks for the current PIN first (default true); without it the
         * template carries only the new PIN.
         *
         * @param ask true to ask
         * @return this builder
         */
        public Builder currentPin(boolean ask) {
            currentPin = ask;
            return this;
        }

        /**
         * The messages the reader shows: for the current PIN, the new one and its confirmation.
         *
         * @param number how many messages, 0 to 3
         * @param langId the language, for example 0x0409 for English
         * @param indexes up to three message indexes, 0 to 255 each
         * @return this builder
         */
        public Builder messages(int number, int langId, int... indexes) {
            fields.messages(number, langId, 3);
            if (indexes.length > 3) {
                throw new IllegalArgumentException(
                        "msgIndex: " + indexes.length + " indexes, at most 3");
            }
            for (int i = 0; i < 3; ++i) {
                msgIndex[i] = i < indexes.length
                        ? PinFields.byteValue("msgIndex" + (i + 1), indexes[i])
                        : 0;
            }
            return this;
        }

        /**
         * The change, once the template, format, offsets and digits fit together.
         *
         * @return the change
         * @throws IllegalArgumentException naming the field that does not fit
         */
        public PinModification build() {
            if (currentPin) {
                fields.check(offsetOld, offsetNew);
                if (fields.format.blockSize != 0) {
                    int apart = Math.abs(fields.format.pinBit(offsetNew)
                            - fields.format.pinBit(offsetOld));
                    if (apart < fields.format.blockSize * 8) {
                        throw new IllegalArgumentException("insertionOffsetNew: the new PIN's"
                                + " block overlaps the old PIN's");
                    }
                }
            } else {
                fields.check(offsetNew);
            }
            return new PinModification(this);
        }
    }
}
