package com.vormel.kx.smartcardio;

/**
 * How the reader puts a PIN typed on its keypad into the command APDU: the digits' encoding,
 * where the PIN block starts and how large it is, and where (if anywhere) the PIN's length goes.
 * Positions count from the first data byte after Lc, in the {@link Units} given for them.
 *
 * <pre>{@code
 * // Digits as ASCII in an 8-byte block at the start of the data, no length field.
 * PinFormat ascii = PinFormat.builder(PinFormat.Encoding.ASCII).blockSize(8).build();
 * // BCD digits after a 4-bit length nibble in the first byte (a "format 2" PIN block).
 * PinFormat format2 = PinFormat.builder(PinFormat.Encoding.BCD).units(PinFormat.Units.BYTES)
 *         .pinPosition(1).blockSize(8).lengthField(4, 4, PinFormat.Units.BITS).build();
 * }</pre>
 */
public final class PinFormat {
    /** How each digit is written. */
    public enum Encoding {
        /** One byte per digit, its value 0 to 9. */
        BINARY(0),
        /** Two digits per byte, the first in the high nibble. */
        BCD(1),
        /** One byte per digit, '0' to '9'. */
        ASCII(2);

        final int code;

        Encoding(int code) {
            this.code = code;
        }
    }

    /** The unit of a position. */
    public enum Units {
        /** Positions count bits. */
        BITS,
        /** Positions count bytes. */
        BYTES
    }

    final Encoding encoding;
    final Units units;
    final int pinPosition;
    final boolean rightJustified;
    final int blockSize;
    final int lengthBits;
    final int lengthPosition;
    final Units lengthUnits;

    private PinFormat(Builder b) {
        encoding = b.encoding;
        units = b.units;
        pinPosition = b.pinPosition;
        rightJustified = b.rightJustified;
        blockSize = b.blockSize;
        lengthBits = b.lengthBits;
        lengthPosition = b.lengthPosition;
        lengthUnits = b.lengthUnits;
    }

    /**
     * A builder for digits of this encoding: by default at byte 0 of the data, left-justified,
     * with a PIN block of 0 bytes (the reader appends the PIN and sets Lc) and no length field.
     *
     * @param encoding how each digit is written
     * @return the builder
     */
    public static Builder builder(Encoding encoding) {
        return new Builder(encoding);
    }

    /** The {@code bmFormatString} byte. */
    int formatString() {
        return (units == Units.BYTES ? 0x80 : 0) | pinPosition << 3 | (rightJustified ? 0x04 : 0)
                | encoding.code;
    }

    /** The {@code bmPINBlockString} byte. */
    int blockString() {
        return lengthBits << 4 | blockSize;
    }

    /** The {@code bmPINLengthFormat} byte. */
    int lengthFormat() {
        return (lengthUnits == Units.BYTES ? 0x10 : 0) | lengthPosition;
    }

    /** The first bit of the PIN block in the data, with an offset in the same units. */
    int pinBit(int offset) {
        int at = pinPosition + offset;
        return units == Units.BYTES ? at * 8 : at;
    }

    /** The most digits the PIN block holds, or -1 when it has no fixed size. */
    int digitCapacity() {
        if (blockSize == 0) {
            return -1;
        }
        return encoding == Encoding.BCD ? blockSize * 2 : blockSize;
    }

    @Override
    public String toString() {
        return encoding + " PIN at " + pinPosition + " " + units.name().toLowerCase(java.util.Locale.ROOT)
                + (rightJustified ? " right-justified" : "") + ", block of " + blockSize
                + " byte(s), length field of " + lengthBits + " bit(s) at " + lengthPosition + " "
                + lengthUnits.name().toLowerCase(java.util.Locale.ROOT);
    }

    /** Builds a {@link PinFormat}; each setter checks its value's range. */
    public static final class Builder {
        private final Encoding encoding;
        private Units units = Units.BYTES;
        private int pinPosition;
        private boolean rightJustified;
        private int blockSize;
        private int lengthBits;
        private int lengthPosition;
        private Units lengthUnits = Units.BITS;

        private Builder(Encoding encoding) {
            if (encoding == null) {
                throw new IllegalArgumentException("encoding: null");
            }
            this.encoding = encoding;
        }

        /**
         * The unit of the PIN position (default {@link Units#BYTES}).
         *
         * @param units bits or bytes
         * @return this builder
         */
        public Builder units(Units units) {
            if (units == null) {
                throw new IllegalArgumentException("units: null");
            }
            this.units = units;
            return this;
        }

        /**
         * Where the PIN block starts, counted from the first data byte (default 0).
         *
         * @param position 0 to 15, in the builder's units
         * @return this builder
         */
        public Builder pinPosition(int position) {
            pinPosition = nibble("pinPosition", position);
            return this;
        }

        /**
         * Whether the digits end at the block's end rather than start at its start.
         *
         * @param right true for right-justified
         * @return this builder
         */
        public Builder rightJustified(boolean right) {
            rightJustified = right;
            return this;
        }

        /**
         * The PIN block's size in bytes; the template's bytes there are the padding the digits
         * do not cover. 0 (the default) lets the reader append the PIN and set Lc.
         *
         * @param bytes 0 to 15
         * @return this builder
         */
        public Builder blockSize(int bytes) {
            blockSize = nibble("blockSize", bytes);
            return this;
        }

        /**
         * A field in which the reader writes the number of digits entered.
         *
         * @param bits the field's size, 1 to 15 bits (0: no field)
         * @param position where the field starts, 0 to 15, counted from the first data byte
         * @param units the unit of {@code position}
         * @return this builder
         */
        public Builder lengthField(int bits, int position, Units units) {
            if (units == null) {
                throw new IllegalArgumentException("lengthUnits: null");
            }
            lengthBits = nibble("lengthBits", bits);
            lengthPosition = nibble("lengthPosition", position);
            lengthUnits = units;
            return this;
        }

        /**
         * The format.
         *
         * @return the format
         */
        public PinFormat build() {
            return new PinFormat(this);
        }

        private static int nibble(String field, int value) {
            if (value < 0 || value > 15) {
                throw new IllegalArgumentException(field + ": " + value + " is outside 0 to 15");
            }
            return value;
        }
    }
}
