package com.vormel.kx.smartcardio;

import com.vormel.kx.platform.velksmartcard.VelkSCard;
import java.util.HashMap;
import java.util.Map;

/**
 * The reader states that one {@code CardTerminals} saw at its last two waits, from which
 * {@code CARD_INSERTION} and {@code CARD_REMOVAL} are answered.
 */
final class ReaderHistory {
    private static final int PREVIOUS = 0;
    private static final int CURRENT = 1;

    private Map<String, int[]> states; // guarded by this; null before the first wait

    synchronized boolean started() {
        return states != null;
    }

    /** The last states seen of the readers; {@code SCARD_STATE_UNAWARE} for new ones. */
    synchronized int[] current(String[] names) {
        int[] current = new int[names.length];
        for (int i = 0; i < names.length; ++i) {
            int[] seen = states == null ? null : states.get(names[i]);
            current[i] = seen == null ? VelkSCard.SCARD_STATE_UNAWARE : seen[CURRENT];
        }
        return current;
    }

    /** Records a wait's outcome; readers that are no longer listed are forgotten. */
    synchronized void record(String[] names, int[] reported) {
        Map<String, int[]> next = new HashMap<>();
        for (int i = 0; i < names.length; ++i) {
            int[] seen = states == null ? null : states.get(names[i]);
            int previous = seen == null ? VelkSCard.SCARD_STATE_UNAWARE : seen[CURRENT];
            next.put(names[i], new int[] {previous, reported[i]});
        }
        states = next;
    }

    /** Whether the reader's card came ({@code insertion}) or went between the last two waits. */
    synchronized boolean changed(String name, boolean insertion) {
        int[] seen = states.get(name);
        if (seen == null) {
            return false;
        }
        boolean was = present(seen[PREVIOUS]);
        boolean is = present(seen[CURRENT]);
        return insertion ? !was && is : was && !is;
    }

    static boolean present(int state) {
        return (state & VelkSCard.SCARD_STATE_PRESENT) != 0;
    }
}
