package com.vormel.kx.tool;

/** Hex text of byte strings as the tool reads and prints them. */
final class Hex {
    private static final char[] DIGITS = "0123456789ABCDEF".toCharArray();

    private Hex() {}

    /** "3B 88 01"; empty for no bytes. */
    static String format(byte[] bytes) {
        return format(bytes, 0, bytes.length);
    }

    static String format(byte[] bytes, int from, int to) {
        return join(bytes, from, to, ' ');
    }

    /** Upper-case hex pairs with the separator between them: "3B:88:01" for ':'. */
    static String join(byte[] bytes, int from, int to, char separator) {
        StringBuilder text = new StringBuilder(Math.max(0, 3 * (to - from) - 1));
        for (int i = from; i < to; i++) {
            if (i > from) {
                text.append(separator);
            }
            text.append(DIGITS[(bytes[i] >> 4) & 0xF]).append(DIGITS[bytes[i] & 0xF]);
        }
        return text.toString();
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
        byte[] bytes = new byte[digits.length() / 2];
        for (int i = 0; i < bytes.length; i++) {
            bytes[i] = (byte) (Character.digit(digits.charAt(2 * i), 16) << 4
                    | Character.digit(digits.charAt(2 * i + 1), 16));
        }
        return bytes;
    }
}
