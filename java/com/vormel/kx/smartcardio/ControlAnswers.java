package com.vormel.kx.smartcardio;

import java.util.EnumMap;
import java.util.Map;
import java.util.TreeMap;
import javax.smartcardio.CardException;

/** Reads the readers' structured control answers; malformed ones are refused, saying where. */
final class ControlAnswers {
    private ControlAnswers() {}

    /** The feature list: tag, length 4, control code big-endian, repeated. */
    static Map<ReaderFeature, Integer> features(byte[] answer) throws CardException {
        Map<ReaderFeature, Integer> features = new EnumMap<>(ReaderFeature.class);
        int at = 0;
        while (at < answer.length) {
            int tag = answer[at] & 0xFF;
            int length = entryLength(answer, at, "feature list");
            if (length != 4) {
                throw new CardException(String.format("malformed feature list: feature 0x%02X at"
                        + " byte %d has %d value byte(s), a control code takes 4", tag, at,
                        length));
            }
            int code = 0;
            for (int i = 0; i < 4; ++i) {
                code = code << 8 | (answer[at + 2 + i] & 0xFF);
            }
            ReaderFeature feature = ReaderFeature.ofTag(tag);
            if (feature != null && !features.containsKey(feature)) {
                features.put(feature, code);
            }
            at += 2 + length;
        }
        return features;
    }

    /** PIN_PROPERTIES_STRUCTURE: wLcdLayout, bEntryValidationCondition, bTimeOut2. */
    static PinProperties pinProperties(byte[] answer, Map<Integer, byte[]> tlv)
            throws CardException {
        if (answer.length < 4) {
            throw new CardException("malformed PIN properties: " + answer.length
                    + " byte(s), the structure has 4");
        }
        return new PinProperties((answer[0] & 0xFF) | (answer[1] & 0xFF) << 8,
                answer[2] & 0xFF, answer[3] & 0xFF, tlv);
    }

    /** The TLV properties: tag, length, value, repeated. */
    static Map<Integer, byte[]> tlvProperties(byte[] answer) throws CardException {
        Map<Integer, byte[]> properties = new TreeMap<>();
        int at = 0;
        while (at < answer.length) {
            int length = entryLength(answer, at, "TLV properties");
            byte[] value = new byte[length];
            System.arraycopy(answer, at + 2, value, 0, length);
            properties.putIfAbsent(answer[at] & 0xFF, value);
            at += 2 + length;
        }
        return properties;
    }

    /** The length byte of the entry at {@code at}, once the whole entry is known to fit. */
    private static int entryLength(byte[] answer, int at, String what) throws CardException {
        if (at + 1 >= answer.length) {
            throw new CardException(String.format("malformed %s: the entry at byte %d of %d has"
                    + " no length byte", what, at, answer.length));
        }
        int length = answer[at + 1] & 0xFF;
        if (at + 2 + length > answer.length) {
            throw new CardException(String.format("malformed %s: the entry at byte %d claims %d"
                    + " value byte(s), only %d follow", what, at, length,
                    answer.length - at - 2));
        }
        return length;
    }

    /** The PIN properties from the TLV properties alone, for a reader without the structure. */
    static PinProperties fromTlv(Map<Integer, byte[]> tlv) {
        return new PinProperties(number(tlv, PinProperties.TLV_LCD_LAYOUT),
                number(tlv, PinProperties.TLV_ENTRY_VALIDATION_CONDITION),
                number(tlv, PinProperties.TLV_TIMEOUT2), tlv);
    }

    // A property the reader does not give counts as 0, as in the structure.
    private static int number(Map<Integer, byte[]> tlv, int tag) {
        return (int) Math.max(0, PinProperties.littleEndian(tlv.get(tag)));
    }
}
