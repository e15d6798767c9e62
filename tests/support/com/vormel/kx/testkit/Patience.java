package com.vormel.kx.testkit;

import java.util.concurrent.Future;
import java.util.concurrent.TimeUnit;
import java.util.concurrent.TimeoutException;
import java.util.function.Supplier;

/**
 * The one bound on waiting for a change (the stack noticing a card, a stand-in logging a line, a
 * command printing one, a thread entering a call), and the one way of waiting for it: look at the
 * state itself until it is there. The bound is never reached when all is well; it turns a hang
 * into a failure that says what never happened, also on the 32-bit VM under qemu.
 */
public final class Patience {
    /** Upper bound of every wait for a change, in milliseconds. */
    public static final long MILLIS = 60_000;

    private Patience() {}

    /** One look at the state: the value waited for, or null while it is not there yet. */
    @FunctionalInterface
    public interface Probe<T> {
        /** Looks once; may itself block for a while (a bounded PC/SC wait). */
        T look() throws Exception;
    }

    /**
     * Looks until the probe gives a value, and returns it; after MILLIS, fails with what never
     * happened (asked only then, so that it may describe the last state).
     */
    public static <T> T await(Supplier<String> what, Probe<T> probe) throws Exception {
        long deadline = System.nanoTime() + MILLIS * 1_000_000;
        T value;
        while ((value = probe.look()) == null) {
            if (System.nanoTime() - deadline > 0) {
                throw new AssertionError("not within " + MILLIS + " ms: " + what.get());
            }
            Thread.sleep(10);
        }
        return value;
    }

    /**
     * Fails if the call running in the future ends within a short look: only a call that does not
     * block can fail this, a slow machine only waits longer.
     */
    public static void assertStillBlocked(Future<?> call, String what) throws Exception {
        try {
            call.get(300, TimeUnit.MILLISECONDS);
        } catch (TimeoutException expected) {
            return;
        }
        throw new AssertionError(what + " returned while it should block");
    }
}
