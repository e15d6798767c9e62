package com.vormel.kx.tool;

import com.vormel.kx.platform.velksmartcard.VelkSCard;
import java.util.ArrayList;
import java.util.List;

/** Words for the reader states of a PC/SC status change. */
final class ReaderState {
    private ReaderState() {}

    static boolean present(int state) {
        return (state & VelkSCard.SCARD_STATE_PRESENT) != 0;
    }

    /** PC/SC lite counts card insertions and removals in the upper 16 bits of a reader state. */
    static int eventCount(int state) {
        return state >>> 16;
    }

    /** "card present, in use", "no card", "unavailable", ... */
    static String describe(int state) {
        List<String> words = new ArrayList<>();
        if ((state & VelkSCard.SCARD_STATE_UNKNOWN) != 0) {
            words.add("unknown reader");
        } else if ((state & VelkSCard.SCARD_STATE_UNAVAILABLE) != 0) {
            words.add("unavailable");
        } else if (present(state)) {
            words.add("card present");
        } else if ((state & VelkSCard.SCARD_STATE_EMPTY) != 0) {
            words.add("no card");
        } else {
            words.add("state unknown");
        }
        if ((state & VelkSCard.SCARD_STATE_EXCLUSIVE) != 0) {
            words.add("in exclusive use");
        } else if ((state & VelkSCard.SCARD_STATE_INUSE) != 0) {
            words.add("in use");
        }
        if ((state & VelkSCard.SCARD_STATE_MUTE) != 0) {
            words.add("mute");
        }
        if ((state & VelkSCard.SCARD_STATE_UNPOWERED) != 0) {
            words.add("unpowered");
        }
        return String.join(", ", words);
    }
}
