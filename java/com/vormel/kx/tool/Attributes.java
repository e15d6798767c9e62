package com.vormel.kx.tool;

import com.vormel.kx.platform.velksmartcard.VelkSCard;
import java.nio.charset.StandardCharsets;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Locale;
import java.util.Map;

/** Names of the common reader attributes and how their values are shown. */
final class Attributes {
    private Attributes() {}

    /** Attribute names in the order {@code attr} reads them when none is named. */
    private static final Map<String, Integer> BY_NAME = new LinkedHashMap<>();
    /** Attributes whose value is a little-endian integer. */
    private static final List<Integer> NUMERIC = Arrays.asList(
            VelkSCard.SCARD_ATTR_VENDOR_IFD_VERSION, VelkSCard.SCARD_ATTR_CHANNEL_ID,
            VelkSCard.SCARD_ATTR_DEFAULT_CLK, VelkSCard.SCARD_ATTR_MAX_IFSD,
            VelkSCard.SCARD_ATTR_CURRENT_PROTOCOL_TYPE, VelkSCard.SCARD_ATTR_ICC_PRESENCE,
            VelkSCard.SCARD_ATTR_ICC_INTERFACE_STATUS, VelkSCard.SCARD_ATTR_MAXINPUT);

    static {
        BY_NAME.put("vendor-name", VelkSCard.SCARD_ATTR_VENDOR_NAME);
        BY_NAME.put("vendor-ifd-type", VelkSCard.SCARD_ATTR_VENDOR_IFD_TYPE);
        BY_NAME.put("vendor-ifd-version", VelkSCard.SCARD_ATTR_VENDOR_IFD_VERSION);
        BY_NAME.put("vendor-ifd-serial-no", VelkSCard.SCARD_ATTR_VENDOR_IFD_SERIAL_NO);
        BY_NAME.put("channel-id", VelkSCard.SCARD_ATTR_CHANNEL_ID);
        BY_NAME.put("default-clk", VelkSCard.SCARD_ATTR_DEFAULT_CLK);
        BY_NAME.put("max-ifsd", VelkSCard.SCARD_ATTR_MAX_IFSD);
        BY_NAME.put("current-protocol-type", VelkSCard.SCARD_ATTR_CURRENT_PROTOCOL_TYPE);
        BY_NAME.put("icc-presence", VelkSCard.SCARD_ATTR_ICC_PRESENCE);
        BY_NAME.put("icc-interface-status", VelkSCard.SCARD_ATTR_ICC_INTERFACE_STATUS);
        BY_NAME.put("atr-string", VelkSCard.SCARD_ATTR_ATR_STRING);
        BY_NAME.put("maxinput", VelkSCard.SCARD_ATTR_MAXINPUT);
        BY_NAME.put("device-friendly-name", VelkSCard.SCARD_ATTR_DEVICE_FRIENDLY_NAME);
        BY_NAME.put("device-system-name", VelkSCard.SCARD_ATTR_DEVICE_SYSTEM_NAME);
        // Reader drivers often answer only their own tag for the ATR.
        BY_NAME.put("ifd-atr", VelkSCard.TAG_IFD_ATR);
    }

    /** Every named attribute id, in display order. */
    static List<Integer> all() {
        return new ArrayList<>(BY_NAME.values());
    }

    static List<String> names() {
        return new ArrayList<>(BY_NAME.keySet());
    }

    /**
     * An attribute id from a name ("vendor-name", "VENDOR_NAME", "SCARD_ATTR_VENDOR_NAME",
     * "TAG_IFD_ATR"; "atr" for "atr-string") or a number ("0x00010100", "65792").
     */
    static int parse(String given) throws CliException {
        String s = given.trim();
        try {
            if (s.startsWith("0x") || s.startsWith("0X")) {
                return Integer.parseUnsignedInt(s.substring(2), 16);
            }
            if (!s.isEmpty() && Character.isDigit(s.charAt(0))) {
                return Integer.parseUnsignedInt(s);
            }
        } catch (NumberFormatException e) {
            throw CliException.usage("malformed attribute id '" + given + "'");
        }
        String name = s.toLowerCase(Locale.ROOT).replace('_', '-');
        for (String prefix : new String[] {"scard-attr-", "tag-"}) {
            if (name.startsWith(prefix)) {
                name = name.substring(prefix.length());
            }
        }
        if (name.equals("atr")) {
            name = "atr-string";
        }
        Integer id = BY_NAME.get(name);
        if (id == null) {
            throw CliException.usage("unknown attribute '" + given + "' (names: "
                    + String.join(", ", BY_NAME.keySet()) + "; or a number such as 0x00090303)");
        }
        return id;
    }

    /** "vendor-name (0x00010100)", or only the number for an id without a name. */
    static String label(int id) {
        String number = String.format("0x%08X", id);
        for (Map.Entry<String, Integer> e : BY_NAME.entrySet()) {
            if (e.getValue() == id) {
                return e.getKey() + " (" + number + ")";
            }
        }
        return number;
    }

    /** Hex, then the text or number the bytes hold where that is clear. */
    static String render(int id, byte[] value) {
        StringBuilder out = new StringBuilder(value.length == 0 ? "(empty)" : Hex.format(value));
        String text = text(value);
        if (text != null && !NUMERIC.contains(id)) {
            out.append("  \"").append(text).append('"');
        } else if (NUMERIC.contains(id) && value.length >= 1 && value.length <= 8) {
            long n = 0;
            for (int i = value.length - 1; i >= 0; i--) {
                n = n << 8 | (value[i] & 0xFF);
            }
            out.append("  = ").append(Long.toUnsignedString(n));
        }
        return out.toString();
    }

    /** The value as text when it is printable ASCII with at most trailing NULs; else null. */
    static String text(byte[] value) {
        int end = value.length;
        while (end > 0 && value[end - 1] == 0) {
            end--;
        }
        if (end == 0) {
            return null;
        }
        for (int i = 0; i < end; i++) {
            if (value[i] < 0x20 || value[i] > 0x7E) {
                return null;
            }
        }
        return new String(value, 0, end, StandardCharsets.US_ASCII);
    }
}
