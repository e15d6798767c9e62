package com.vormel.kx.testkit;

import com.vormel.kx.platform.velksmartcard.VelkCardException;

/**
 * A context and a shared connection to each virtual card (t1: the T=1 card in the first reader,
 * t0: the T=0 card in the second), opened once for a test class by {@link CardsExtension}. A test
 * that pulls a card reconnects its handle before it ends, so that the next test finds it working.
 */
public record Cards(long context, long t1, long t0) implements AutoCloseable {
    static Cards open() throws VelkCardException {
        long context = Pcsc.establish();
        try {
            return new Cards(context, Pcsc.connect(context, VirtualCard.t1().reader()),
                    Pcsc.connect(context, VirtualCard.t0().reader()));
        } catch (RuntimeException | VelkCardException e) {
            Pcsc.releaseQuietly(context); // which ends a connection already made too
            throw e;
        }
    }

    /** Disconnects both cards and releases the context, whatever a test left of them. */
    @Override
    public void close() {
        Pcsc.disconnectQuietly(t1);
        Pcsc.disconnectQuietly(t0);
        Pcsc.releaseQuietly(context);
    }
}
