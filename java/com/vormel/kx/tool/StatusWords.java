package com.vormel.kx.tool;

import java.util.HashMap;
import java.util.Map;

/** Meanings of the common ISO 7816-4 status words. */
final class StatusWords {
    private StatusWords() {}

    private static final Map<Integer, String> EXACT = new HashMap<>();

    static {
        EXACT.put(0x9000, "success");
        EXACT.put(0x6200, "warning: memory unchanged");
        EXACT.put(0x6281, "warning: part of the returned data may be corrupted");
        EXACT.put(0x6282, "warning: end of file or record reached before Le bytes");
        EXACT.put(0x6283, "warning: selected file deactivated");
        EXACT.put(0x6284, "warning: file control information not formatted");
        EXACT.put(0x6285, "warning: selected file in termination state");
        EXACT.put(0x6300, "warning: memory changed, no information given");
        EXACT.put(0x6381, "warning: file filled up by the last write");
        EXACT.put(0x6400, "error: memory unchanged, no information given");
        EXACT.put(0x6500, "error: memory changed, no information given");
        EXACT.put(0x6581, "error: memory failure");
        EXACT.put(0x6700, "wrong length");
        EXACT.put(0x6800, "function in CLA not supported");
        EXACT.put(0x6881, "logical channel not supported");
        EXACT.put(0x6882, "secure messaging not supported");
        EXACT.put(0x6883, "last command of the chain expected");
        EXACT.put(0x6884, "command chaining not supported");
        EXACT.put(0x6900, "command not allowed");
        EXACT.put(0x6981, "command incompatible with file structure");
        EXACT.put(0x6982, "security status not satisfied");
        EXACT.put(0x6983, "authentication method blocked");
        EXACT.put(0x6984, "reference data not usable");
        EXACT.put(0x6985, "conditions of use not satisfied");
        EXACT.put(0x6986, "command not allowed (no current EF)");
        EXACT.put(0x6987, "expected secure messaging data objects missing");
        EXACT.put(0x6988, "incorrect secure messaging data objects");
        EXACT.put(0x6A00, "wrong parameters P1-P2");
        EXACT.put(0x6A80, "incorrect parameters in the data field");
        EXACT.put(0x6A81, "function not supported");
        EXACT.put(0x6A82, "file or application not found");
        EXACT.put(0x6A83, "record not found");
        EXACT.put(0x6A84, "not enough memory space in the file");
        EXACT.put(0x6A85, "Nc inconsistent with TLV structure");
        EXACT.put(0x6A86, "incorrect parameters P1-P2");
        EXACT.put(0x6A87, "Nc inconsistent with parameters P1-P2");
        EXACT.put(0x6A88, "referenced data not found");
        EXACT.put(0x6A89, "file already exists");
        EXACT.put(0x6A8A, "DF name already exists");
        EXACT.put(0x6B00, "wrong parameters P1-P2");
        EXACT.put(0x6D00, "instruction code not supported or invalid");
        EXACT.put(0x6E00, "class not supported");
        EXACT.put(0x6F00, "no precise diagnosis");
    }

    /** The meaning of SW1 SW2, or null when the tool does not know it. */
    static String meaning(int sw1, int sw2) {
        int sw = (sw1 & 0xFF) << 8 | (sw2 & 0xFF);
        String exact = EXACT.get(sw);
        if (exact != null) {
            return exact;
        }
        int xx = sw2 & 0xFF;
        switch (sw1 & 0xFF) {
            case 0x61:
                return xx + " more bytes available (GET RESPONSE)";
            case 0x6C:
                return "wrong Le: exactly " + xx + " bytes available";
            case 0x63:
                if ((xx & 0xF0) == 0xC0) {
                    return "warning: counter at " + (xx & 0x0F);
                }
                return null;
            default:
                return null;
        }
    }
}
