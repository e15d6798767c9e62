package com.vormel.kx.smartcardio;

import com.vormel.kx.platform.velksmartcard.VelkCardException;
import com.vormel.kx.platform.velksmartcard.VelkSCard;
import javax.smartcardio.CardException;

/**
 * A wait for reader states on a PC/SC context of its own, in bounded slices, so that an
 * interrupt ends it within a slice and the factory's context stays free for other threads
 * (PC/SC lite holds a context for the whole of a status-change wait, and the bridge has no
 * cancel).
 */
final class StatusWait {
    /** Decides whether the states PC/SC reported end the wait. */
    interface Goal {
        boolean reached(int[] states);
    }

    static final long SLICE_MILLIS = 100;

    private StatusWait() {}

    /**
     * Waits until PC/SC reports states that reach the goal.
     *
     * @param names the readers to watch
     * @param known the states the caller has seen, parallel to {@code names}
     * @param timeoutMillis the longest wait; 0 waits without limit
     * @return the states that reached the goal, or {@code null} when the timeout passed
     * @throws CardException on a PC/SC failure, or with an {@link InterruptedException} as its
     *     cause when the thread was interrupted (its interrupt flag then set again)
     */
    static int[] until(String[] names, int[] known, long timeoutMillis, Goal goal)
            throws CardException {
        // A timeout too long for a nanosecond deadline (about 146 years) waits without limit.
        boolean bounded = timeoutMillis != 0 && timeoutMillis < Long.MAX_VALUE / 2_000_000L;
        long deadline = bounded ? System.nanoTime() + timeoutMillis * 1_000_000L : 0;
        long context;
        try {
            context = VelkSCard.SCardEstablishContext(VelkSCard.SCARD_SCOPE_USER);
        } catch (VelkCardException e) {
            throw Failures.card(e);
        }
        try {
            int[] states = known;
            while (true) {
                if (Thread.interrupted()) {
                    throw Failures.interrupted();
                }
                long slice = SLICE_MILLIS;
                if (bounded) {
                    long left = (deadline - System.nanoTime()) / 1_000_000L;
                    if (left <= 0) {
                        return null;
                    }
                    slice = Math.min(slice, left);
                }
                int[] reported = VelkSCard.SCardGetStatusChange(context, slice, states, names);
                if (reported != states) { // the same array back means the slice timed out
                    if (goal.reached(reported)) {
                        return reported;
                    }
                    states = reported;
                }
            }
        } catch (VelkCardException e) {
            throw Failures.card(e);
        } finally {
            try {
                VelkSCard.SCardReleaseContext(context);
            } catch (VelkCardException e) {
                // A context of a daemon that has gone cannot be released; nothing is left.
            }
        }
    }
}
