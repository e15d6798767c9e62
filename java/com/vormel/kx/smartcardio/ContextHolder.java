package com.vormel.kx.smartcardio;

import com.vormel.kx.platform.velksmartcard.VelkCardException;
import com.vormel.kx.platform.natives.NativeLoader;
import com.vormel.kx.platform.velksmartcard.VelkSCard;

/**
 * The factory's PC/SC context. A call that finds the context dead (the daemon went away or
 * restarted) drops it and runs once more on a new one, so that every object of the factory
 * goes on working after a restart.
 */
final class ContextHolder {
    /** One PC/SC call on a context. */
    interface ContextCall<T> {
        T run(long context) throws VelkCardException;
    }

    private long context; // guarded by this
    private boolean established; // guarded by this

    /**
     * Establishes the context if the daemon answers and the bridge loads; a later call retries
     * otherwise.
     */
    void tryEstablish() {
        try {
            current();
        } catch (VelkCardException e) {
            // No daemon yet: the first call establishes the context.
        }
    }

    /** Runs the call on the current context, and once more on a new one if that was dead. */
    <T> T call(ContextCall<T> call) throws VelkCardException {
        long used = current();
        try {
            return call.run(used);
        } catch (VelkCardException e) {
            if (!Failures.contextGone(e)) {
                throw e;
            }
            drop(used);
            return call.run(current());
        }
    }

    // The lock covers only taking the context: calls on it run side by side, as PC/SC lite
    // serializes them itself.
    private synchronized long current() throws VelkCardException {
        if (!established) {
            loadBridge();
            context = VelkSCard.SCardEstablishContext(VelkSCard.SCARD_SCOPE_USER);
            established = true;
        }
        return context;
    }

    // A bridge that cannot load (another platform, a missing system library, native access
    // refused) must not fail the factory's creation: the JDK would then fall back to its own
    // provider without a word. Each call fails instead, with the loader's words.
    private static void loadBridge() throws VelkCardException {
        try {
            NativeLoader.load("velkscard");
        } catch (UnsatisfiedLinkError e) {
            VelkCardException failure = new VelkCardException(e.getMessage());
            failure.initCause(e);
            throw failure;
        }
    }

    private synchronized void drop(long dead) {
        if (!established || context != dead) {
            return; // another thread has already replaced it
        }
        established = false;
        try {
            VelkSCard.SCardReleaseContext(dead);
        } catch (VelkCardException e) {
            // A context of a daemon that has gone cannot be released; nothing is left of it.
        }
    }
}
