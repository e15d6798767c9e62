package com.vormel.kx.smartcardio;

/**
 * The class byte of a command on a logical channel, as ISO 7816-4 encodes it: channels 0 to 3
 * in the first interindustry form (0 0 0 chaining SM SM ch ch), 4 to 19 in the further form
 * (0 1 SM chaining ch-4). Chaining and secure messaging carry over between the forms;
 * proprietary (bit 8 set) and reserved (001x xxxx) classes go unchanged.
 */
final class ClassByte {
    static final int MAX_CHANNEL = 19;

    private ClassByte() {}

    static byte forChannel(byte cla, int channel) {
        // The common case first: a first-form class on channels 0 to 3 (the sign-extended
        // byte of a class with bit 8 set fails the test too).
        if ((cla & 0xE0) == 0 && channel <= 3) {
            return (byte) (cla & 0xFC | channel);
        }
        return convert(cla, channel);
    }

    private static byte convert(byte cla, int channel) {
        int c = cla & 0xFF;
        if ((c & 0x80) != 0 || (c & 0xE0) == 0x20) {
            return cla;
        }
        int chaining = c & 0x10;
        // Secure messaging in the first form's two bits: 00 none, 10 header not processed,
        // 01 proprietary, 11 header authenticated; the further form has only the first two.
        int secure = (c & 0x40) != 0 ? ((c & 0x20) != 0 ? 2 : 0) : (c >> 2) & 3;
        if (channel <= 3) {
            return (byte) (chaining | secure << 2 | channel);
        }
        if (secure == 1 || secure == 3) {
            throw new IllegalArgumentException(String.format(
                    "class byte %02X: its secure messaging cannot be encoded on logical channel %d",
                    c, channel));
        }
        return (byte) (0x40 | (secure == 2 ? 0x20 : 0) | chaining | (channel - 4));
    }
}
