package com.vormel.kx.tool;

/**
 * Asks a command that runs until interrupted ({@code watch}, {@code wiegand}) to finish. The
 * commands wait in bounded slices and look at the signal between them, because neither a PC/SC
 * status wait nor a reader receive can be cancelled from another thread.
 */
final class StopSignal {
    private volatile boolean stopped;

    void stop() {
        stopped = true;
    }

    boolean stopped() {
        return stopped;
    }
}
