package com.vormel.kx.bench;

/**
 * The PC/SC calls made from C, n at a time in one native call, so that no JNI lies between
 * them; and the stand-in's call counters. Each loop returns the bytes received over all calls,
 * or -1 after a failed call.
 */
final class CPcsc {
    static {
        System.loadLibrary("velkbench");
    }

    private CPcsc() {}

    /** Calls of the named function answered by the stand-in; -1 if the real library is loaded. */
    static native long calls(String function);

    static native long transmit(long card, int protocol, byte[] command, int n);

    static native long status(long card, int n);

    static native long statusChange(long context, String reader0, String reader1, int n);

    static native long listReaders(long context, int n);

    /** n calls of ExceptionCheck from native code; returns how many saw an exception. */
    static native long exceptionChecks(int n);

    /** n calls of GetArrayLength on array from native code; returns the sum. */
    static native long arrayLengths(byte[] array, int n);
}
