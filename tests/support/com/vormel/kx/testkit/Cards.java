package com.vormel.kx.testkit;

import com.vormel.kx.platform.velksmartcard.VelkCardException;

/**
 * A context and a shared connection to each virtual card, opened once for a test class by
 * {@link CardsExtension}. A test that pulls a card must reconnect the handle before it ends, so
 * that the next test finds it working.
 */
public final class Cards implements AutoCloseable {
    private final long context;
    private final long t1;
    private final long t0;

    private Cards(long context, long t1, long t0) {
        this.context = context;
        this.t1 = t1;
        this.t0 = t0;
    }

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

    /**
     * The context that both connections belong to.
     *
     * @return the context handle
     */
    public long context() {
        return context;
    }

    /**
     * The connection to the T=1 card in the first reader.
     *
     * @return the card handle
     */
    public long t1() {
        return t1;
    }

    /**
     * The connection to the T=0 card in the second reader.
     *
     * @return the card handle
     */
    public long t0() {
        return t0;
    }

    /** Disconnects both cards and releases the context, whatever a test left of them. */
    @Override
    public void close() {
        Pcsc.disconnectQuietly(t1);
        Pcsc.disconnectQuietly(t0);
        Pcsc.releaseQuietly(context);
    }
}
