package com.vormel.kx.smartcardio;

import java.util.Collections;
import java.util.Map;
import java.util.TreeMap;

/**
 * A pin-pad reader's PIN entry properties, as {@link VelkCard#pinProperties()} reads them: the
 * display layout, when entry ends and the second timeout (from {@code FEATURE_IFD_PIN_PROPERTIES}
 * or, failing that, from the reader's TLV properties), and every TLV property the reader offers.
 */
public final class PinProperties {
    /** TLV property: the display's layout, lines in the high byte and characters in the low. */
    public static final int TLV_LCD_LAYOUT = 0x01;
    /** TLV property: the entry validation condition. */
    public static final int TLV_ENTRY_VALIDATION_CONDITION = 0x02;
    /** TLV property: the timeout after the first key, in seconds. */
    public static final int TLV_TIMEOUT2 = 0x03;
    /** TLV property: the display's characters per line. */
    public static final int TLV_LCD_MAX_CHARACTERS = 0x04;
    /** TLV property: the display's lines. */
    public static final int TLV_LCD_MAX_LINES = 0x05;
    /** TLV property: the fewest PIN digits the reader accepts. */
    public static final int TLV_MIN_PIN_SIZE = 0x06;
    /** TLV property: the most PIN digits the reader accepts. */
    public static final int TLV_MAX_PIN_SIZE = 0x07;
    /** TLV property: the reader's firmware, as text. */
    public static final int TLV_FIRMWARE_ID = 0x08;
    /** TLV property: how PIN commands may be sent (bit 0: through SCardTransmit). */
    public static final int TLV_PPDU_SUPPORT = 0x09;
    /** TLV property: the largest APDU data the reader carries. */
    public static final int TLV_MAX_APDU_DATA_SIZE = 0x0A;
    /** TLV property: the USB vendor id. */
    public static final int TLV_ID_VENDOR = 0x0B;
    /** TLV property: the USB product id. */
    public static final int TLV_ID_PRODUCT = 0x0C;

    private final int lcdLayout;
    private final int entryValidationCondition;
    private final int timeout2;
    private final Map<Integer, byte[]> tlv;

    PinProperties(int lcdLayout, int entryValidationCondition, int timeout2,
            Map<Integer, byte[]> tlv) {
        this.lcdLayout = lcdLayout;
        this.entryValidationCondition = entryValidationCondition;
        this.timeout2 = timeout2;
        this.tlv = Collections.unmodifiableMap(new TreeMap<>(tlv));
    }

    /**
     * The display's layout ({@code wLcdLayout}): lines in the high byte, characters per line in
     * the low one; 0 for a reader without a display.
     *
     * @return 0 to 0xFFFF
     */
    public int lcdLayout() {
        return lcdLayout;
    }

    /**
     * When the reader ends PIN entry ({@code bEntryValidationCondition}), a combination of the
     * {@code VALIDATION_*} constants of {@link PinVerification}.
     *
     * @return 0 to 255
     */
    public int entryValidationCondition() {
        return entryValidationCondition;
    }

    /**
     * The reader's timeout after the first key ({@code bTimeOut2}), in seconds.
     *
     * @return 0 to 255
     */
    public int timeout2() {
        return timeout2;
    }

    /**
     * The TLV properties, by tag ({@code TLV_*}); empty when the reader offers none.
     *
     * @return an unmodifiable map; its arrays are copies
     */
    public Map<Integer, byte[]> tlvProperties() {
        Map<Integer, byte[]> copy = new TreeMap<>();
        for (Map.Entry<Integer, byte[]> e : tlv.entrySet()) {
            copy.put(e.getKey(), e.getValue().clone());
        }
        return Collections.unmodifiableMap(copy);
    }

    /**
     * A numeric TLV property, read little-endian, or -1 when the reader does not give it.
     *
     * @param tag one of the {@code TLV_*} constants
     * @return the value, or -1
     */
    public long tlvNumber(int tag) {
        return littleEndian(tlv.get(tag));
    }

    /** A value of 1 to 4 bytes, little-endian; -1 for none or a longer one. */
    static long littleEndian(byte[] value) {
        if (value == null || value.length == 0 || value.length > 4) {
            return -1;
        }
        long n = 0;
        for (int i = value.length - 1; i >= 0; --i) {
            n = n << 8 | (value[i] & 0xFF);
        }
        return n;
    }

    @Override
    public String toString() {
        StringBuilder s = new StringBuilder();
        s.append("wLcdLayout=0x").append(String.format("%04X", lcdLayout))
                .append(" bEntryValidationCondition=0x")
                .append(String.format("%02X", entryValidationCondition)).append(" bTimeOut2=")
                .append(timeout2);
        for (Map.Entry<Integer, byte[]> e : tlv.entrySet()) {
            s.append(String.format(" tlv[0x%02X]=", e.getKey()));
            for (byte b : e.getValue()) {
                s.append(String.format("%02X", b & 0xFF));
            }
        }
        return s.toString();
    }
}
