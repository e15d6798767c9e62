package com.vormel.kx.platform.velksmartcard.tests;

/** Command APDUs the suites send; each call gives a fresh array. */
final class Apdus {
    private Apdus() {}

    /** SELECT by file identifier 0x3F00, no data expected back beyond the status word. */
    static byte[] selectFile() {
        return new byte[] {0x00, (byte) 0xA4, 0x00, 0x0C, 0x02, 0x3F, 0x00};
    }
}
