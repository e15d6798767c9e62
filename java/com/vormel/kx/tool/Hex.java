package com.vormel.kx.tool;

import java.util.HexFormat;

/** Hex text of byte strings as the tool reads and prints them. */
final class Hex {
    private static final HexFormat SPACED = HexFormat.ofDelimiter(" ").withUpperCase();

    private Hex() {}

    /** "3B 88 01"; empty for no bytes. */
    static String format(byte[] bytes) {
        return SPACED.formatHex(bytes);
    }

    static String format(byte[] bytes, int from, int to) {
        return SPACED.formatHex(bytes, from, to);
    }

    /**
     * Parses hex digits, optionally separated by spaces or colons ("00A40400", "00 a4 04 00").
     *
     * @param what names the argument in the error message
     */
    static byte[] parse(String text, String what) throws CliException {
        StringBuilder digits = new StringBuilder(text.length());
        for (int i = 0; i < text.length(); i++) {
            char c = text.charAt(i);
            if (Character.digit(c, 16) >= 0) {
                digits.append(c);
            } else if (c != ' ' && c != ':') {
                throw CliException.usage("malformed hex in " + what + ": '" + text + "'");
            }
        }
        if (digits.length() == 0 || digits.length() % 2 != 0) {
            String problem = digits.length() == 0 ? "no hex digits" : "odd number of hex digits";
            throw CliException.usage(problem + " in " + what + ": '" + text + "'");
        }
        return HexFormat.of().parseHex(digits);
    }
}
