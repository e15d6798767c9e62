package com.vormel.kx.smartcardio;

import java.io.ByteArrayOutputStream;

/**
 * What a PIN verification and a PIN change share: the APDU template, the format, the digit
 * range, when entry ends, the timeouts and the messages. Checked as a whole before anything is
 * sent, each refusal naming the field.
 */
final class PinFields {
    static final int HEADER = 5;

    byte[] template;
    PinFormat format;
    int minDigits = 4;
    int maxDigits = 8;
    int validation = PinVerification.VALIDATION_KEY;
    int timeout;
    int timeout2;
    int numberMessage;
    int langId = 0x0409;

    /** A copy, so that a builder used again does not change what it built. */
    PinFields copy() {
        PinFields c = new PinFields();
        c.template = template.clone();
        c.format = format;
        c.minDigits = minDigits;
        c.maxDigits = maxDigits;
        c.validation = validation;
        c.timeout = timeout;
        c.timeout2 = timeout2;
        c.numberMessage = numberMessage;
        c.langId = langId;
        return c;
    }

    void template(byte[] apdu, PinFormat pinFormat) {
        if (apdu == null) {
            throw new IllegalArgumentException("apduTemplate: null");
        }
        if (pinFormat == null) {
            throw new IllegalArgumentException("format: null");
        }
        template = apdu.clone();
        format = pinFormat;
    }

    void digits(int min, int max) {
        if (min < 1 || min > 255) {
            throw new IllegalArgumentException("minDigits: " + min + " is outside 1 to 255");
        }
        if (max < min || max > 255) {
            throw new IllegalArgumentException(
                    "maxDigits: " + max + " is outside minDigits (" + min + ") to 255");
        }
        minDigits = min;
        maxDigits = max;
    }

    void validation(int condition) {
        if (condition < 1 || condition > 7) {
            throw new IllegalArgumentException("entryValidationCondition: 0x"
                    + Integer.toHexString(condition)
                    + " is not a combination of VALIDATION_MAX_DIGITS, VALIDATION_KEY and"
                    + " VALIDATION_TIMEOUT");
        }
        validation = condition;
    }

    void timeouts(int first, int second) {
        timeout = byteValue("timeout", first);
        timeout2 = byteValue("timeout2", second);
    }

    void messages(int number, int language, int most) {
        if (number < 0 || number > most) {
            throw new IllegalArgumentException(
                    "numberMessage: " + number + " is outside 0 to " + most);
        }
        if (language < 0 || language > 0xFFFF) {
            throw new IllegalArgumentException("langId: " + language + " is outside 0 to 0xFFFF");
        }
        numberMessage = number;
        langId = language;
    }

    static int byteValue(String field, int value) {
        if (value < 0 || value > 255) {
            throw new IllegalArgumentException(field + ": " + value + " is outside 0 to 255");
        }
        return value;
    }

    /**
     * Checks the template against the format, for a PIN block at each of the offsets (one for a
     * verification, the old and the new PIN's for a change).
     */
    void check(int... offsets) {
        int length = template.length;
        if (length < HEADER) {
            throw new IllegalArgumentException("apduTemplate: " + length
                    + " byte(s), a command needs its 4-byte header and Lc");
        }
        int data = length - HEADER;
        if (data > 255) {
            throw new IllegalArgumentException(
                    "apduTemplate: " + data + " data bytes, a short command carries at most 255");
        }
        int lc = template[4] & 0xFF;
        if (lc != data) {
            throw new IllegalArgumentException(
                    "apduTemplate: Lc is " + lc + " but " + data + " data byte(s) follow it");
        }
        int dataBits = data * 8;
        int blockBits = format.blockSize * 8;
        for (int offset : offsets) {
            int first = format.pinBit(offset);
            if (first + blockBits > dataBits) {
                throw new IllegalArgumentException("blockSize: the PIN block at bit " + first
                        + " of " + format.blockSize + " byte(s) ends past the template's " + data
                        + " data byte(s)");
            }
            if (format.blockSize == 0 && first != dataBits) {
                throw new IllegalArgumentException("pinPosition: a PIN block of 0 bytes is"
                        + " appended after the data, so it must start at its end (bit "
                        + dataBits + "), not at bit " + first);
            }
        }
        if (format.lengthBits > 0) {
            int lengthBit = format.lengthUnits == PinFormat.Units.BYTES
                    ? format.lengthPosition * 8
                    : format.lengthPosition;
            // In a change the length field moves with each PIN's offset, as the block does.
            for (int offset : offsets) {
                int at = lengthBit + format.pinBit(offset) - format.pinBit(0);
                if (at + format.lengthBits > dataBits) {
                    throw new IllegalArgumentException("lengthPosition: the length field at bit "
                            + at + " of " + format.lengthBits + " bit(s) ends past the"
                            + " template's " + data + " data byte(s)");
                }
            }
            if (maxDigits >= 1 << format.lengthBits) {
                throw new IllegalArgumentException("maxDigits: " + maxDigits
                        + " does not fit the length field of " + format.lengthBits + " bit(s)");
            }
        }
        int capacity = format.digitCapacity();
        if (capacity >= 0 && maxDigits > capacity) {
            throw new IllegalArgumentException("maxDigits: " + maxDigits + " digits do not fit a "
                    + format.encoding + " PIN block of " + format.blockSize + " byte(s)");
        }
    }

    /** The common head: bTimerOut to bmPINLengthFormat. */
    void writeHead(ByteArrayOutputStream out) {
        out.write(timeout);
        out.write(timeout2);
        out.write(format.formatString());
        out.write(format.blockString());
        out.write(format.lengthFormat());
    }

    /** wPINMaxExtraDigit: minimum in the high byte, maximum in the low one. */
    void writeDigits(ByteArrayOutputStream out) {
        writeLe(out, minDigits << 8 | maxDigits, 2);
    }

    /** bTeoPrologue (unused for T=0 and T=1 here), ulDataLength and abData. */
    void writeTail(ByteArrayOutputStream out) {
        writeLe(out, 0, 3);
        writeLe(out, template.length, 4);
        out.write(template, 0, template.length);
    }

    static void writeLe(ByteArrayOutputStream out, int value, int bytes) {
        for (int i = 0; i < bytes; ++i) {
            out.write(value >>> (8 * i));
        }
    }
}
