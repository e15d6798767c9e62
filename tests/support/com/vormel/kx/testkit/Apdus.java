package com.vormel.kx.testkit;

/** Command APDUs the suites send; each call gives a fresh array. */
public final class Apdus {
    private Apdus() {}

    /** SELECT by file identifier 0x3F00, no data expected back beyond the status word. */
    public static byte[] selectFile() {
        return new byte[] {0x00, (byte) 0xA4, 0x00, 0x0C, 0x02, 0x3F, 0x00};
    }

    /** SELECT by name; the virtual cards answer with the status word alone. */
    public static byte[] selectByName() {
        return new byte[] {0x00, (byte) 0xA4, 0x04, 0x00, 0x05, 0x56, 0x45, 0x4C, 0x4B, 0x31};
    }

    /** READ BINARY of n bytes. */
    public static byte[] readBinary(int n) {
        return new byte[] {0x00, (byte) 0xB0, 0x00, 0x00, (byte) n};
    }

    /** GET DATA that the cards answer with status word 6283 and no data. */
    public static byte[] statusWordOnly() {
        return new byte[] {0x00, (byte) 0xCA, 0x00, 0x01, 0x00};
    }

    /** GET DATA with an extended Le: the cards answer with le filler bytes and 9000. */
    public static byte[] getData(int le) {
        return new byte[] {0x00, (byte) 0xCA, 0x00, 0x02, 0x00, (byte) (le >> 8), (byte) le};
    }

    /** ENVELOPE whose data field the cards echo back, followed by 9000. */
    public static byte[] envelope(byte[] data) {
        byte[] apdu = new byte[5 + data.length];
        apdu[1] = (byte) 0xC2;
        apdu[4] = (byte) data.length;
        System.arraycopy(data, 0, apdu, 5, data.length);
        return apdu;
    }
}
