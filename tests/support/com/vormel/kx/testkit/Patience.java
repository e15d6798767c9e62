package com.vormel.kx.testkit;

import java.util.function.Supplier;

/**
 * The one bound on waiting for a change (the stack noticing a card, a stand-in logging a line, a
 * command printing one, a thread entering a call), and the one way of waiting for it: look at the
 * state itself until it is there. The bound is never reached when all is well; it only turns a
 * hang into a failure that says what never happened, also on the 32-bit VM under qemu.
 */
public final class Patience {
    /** Upper bound of every wait for a change, in milliseconds. */
    public static final long MILLIS = 60_000;

    private static final long BETWEEN_LOOKS_MILLIS = 10;

    private Patience() {}

    /**
     * One look at the state.
     *
     * @param <T> what the wait is for
     */
    @FunctionalInterface
    public interface Probe<T> {
        /**
         * Looks once; may itself block for a while (a bounded PC/SC wait).
         *
         * @return the value waited for, or null while it is not there yet
         * @throws Exception what looking throws; it ends the wait
         */
        T look() throws Exception;
    }

    /**
     * Looks until the probe gives a value.
     *
     * @param <T> what the wait is for
     * @param what what never happened, for the failure (asked only then, so it may describe the
     *     last state)
     * @param probe the look at the state
     * @return the probe's first non-null value
     * @throws Exception what the probe throws
     * @throws AssertionError when MILLIS pass without a value
     */
    public static <T> T await(Supplier<String> what, Probe<T> probe) throws Exception {
        long deadline = System.nanoTime() + MILLIS * 1_000_000;
        while (true) {
            T value = probe.look();
            if (value != null) {
                return value;
            }
            if (System.nanoTime() - deadline > 0) {
                throw new AssertionError("not within " + MILLIS + " ms: " + what.get());
            }
            Thread.sleep(BETWEEN_LOOKS_MILLIS);
        }
    }
}
