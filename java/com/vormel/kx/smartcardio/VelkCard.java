package com.vormel.kx.smartcardio;

import com.vormel.kx.platform.velksmartcard.VelkCardException;
import com.vormel.kx.platform.velksmartcard.VelkSCard;
import javax.smartcardio.ATR;
import javax.smartcardio.Card;
import javax.smartcardio.CardChannel;
import javax.smartcardio.CardException;

/**
 * A connection to the card in a reader, as {@code CardTerminal.connect} of the {@code Velk}
 * provider returns it. Besides the {@code Card} methods it reads reader and card attributes
 * ({@link #getAttribute}).
 *
 * <p>Threads: any thread may use the card and its channels. {@link #beginExclusive} ties the
 * card to the calling thread until {@link #endExclusive}; meanwhile the other threads' calls
 * are refused with a {@code CardException}. {@code beginExclusive} and {@code endExclusive}
 * are serialized per card; transmissions are not serialized in Java (PC/SC lite serializes
 * the exchanges of one connection itself). After {@link #disconnect}, or once the card has
 * been removed, every method but {@code getATR}, {@code getProtocol} and {@code disconnect}
 * throws {@code IllegalStateException}.
 *
 * <p>After the PC/SC daemon restarts, a card of the old connection fails with {@code
 * CardException}; connecting again gives a new one.
 */
public final class VelkCard extends Card {
    private static final int OK = 0;
    private static final int REMOVED = 1;
    private static final int DISCONNECTED = 2;
    private static final byte[] OPEN_CHANNEL = {0x00, 0x70, 0x00, 0x00, 0x01};

    private final VelkTerminal terminal;
    final long handle;
    final int protocol;
    private final ATR atr;
    private final VelkChannel basicChannel;
    private volatile int state = OK;
    private volatile Thread exclusiveThread;

    private VelkCard(VelkTerminal terminal, long handle, int protocol, byte[] atr) {
        this.terminal = terminal;
        this.handle = handle;
        this.protocol = protocol;
        this.atr = new ATR(atr);
        this.basicChannel = new VelkChannel(this, 0);
    }

    static VelkCard connect(VelkTerminal terminal, ContextHolder contexts, ConnectMode mode)
            throws CardException {
        int[] active = new int[1];
        long handle;
        try {
            handle = contexts.call(context -> VelkSCard.SCardConnect(context, terminal.getName(),
                    mode.shareMode, mode.protocols, active));
        } catch (VelkCardException e) {
            throw Failures.connect(e);
        }
        try {
            return new VelkCard(terminal, handle, active[0],
                    VelkSCard.SCardStatus(handle, new int[1]));
        } catch (VelkCardException e) {
            try {
                VelkSCard.SCardDisconnect(handle, VelkSCard.SCARD_LEAVE_CARD);
            } catch (VelkCardException ignored) {
                // The connection is unusable either way.
            }
            throw Failures.connect(e);
        }
    }

    @Override
    public ATR getATR() {
        return atr;
    }

    @Override
    public String getProtocol() {
        switch (protocol) {
            case VelkSCard.SCARD_PROTOCOL_T0:
                return "T=0";
            case VelkSCard.SCARD_PROTOCOL_T1:
                return "T=1";
            default:
                return "Unknown protocol " + protocol;
        }
    }

    @Override
    public CardChannel getBasicChannel() {
        checkState();
        return basicChannel;
    }

    @Override
    public CardChannel openLogicalChannel() throws CardException {
        checkState();
        checkExclusive();
        byte[] response;
        try {
            response = VelkSCard.SCardTransmit(handle, protocol, OPEN_CHANNEL);
        } catch (VelkCardException e) {
            throw failed(e);
        }
        if (response.length != 3 || response[1] != (byte) 0x90 || response[2] != 0) {
            throw new CardException("openLogicalChannel() failed, card response: "
                    + Failures.hex(response));
        }
        int channel = response[0] & 0xFF;
        if (channel < 1 || channel > ClassByte.MAX_CHANNEL) {
            throw new CardException("openLogicalChannel() failed: the card opened channel "
                    + channel + ", which no class byte can address");
        }
        return new VelkChannel(this, channel);
    }

    @Override
    public synchronized void beginExclusive() throws CardException {
        checkState();
        Thread holder = exclusiveThread;
        if (holder != null) {
            throw new CardException(
                    "Exclusive access has already been assigned to Thread " + holder.getName());
        }
        try {
            VelkSCard.SCardBeginTransaction(handle);
        } catch (VelkCardException e) {
            throw failed(e);
        }
        exclusiveThread = Thread.currentThread();
    }

    @Override
    public synchronized void endExclusive() throws CardException {
        checkState();
        if (exclusiveThread != Thread.currentThread()) {
            throw new IllegalStateException("Exclusive access not assigned to current Thread");
        }
        try {
            VelkSCard.SCardEndTransaction(handle, VelkSCard.SCARD_LEAVE_CARD);
        } catch (VelkCardException e) {
            throw failed(e);
        } finally {
            exclusiveThread = null;
        }
    }

    /**
     * Refused: the bridge has no {@code SCardControl}.
     *
     * @throws CardException always, once the card's state and exclusive access allow the call
     */
    @Override
    public byte[] transmitControlCommand(int controlCode, byte[] command) throws CardException {
        checkState();
        checkExclusive();
        if (command == null) {
            throw new NullPointerException();
        }
        throw new CardException(
                "transmitControlCommand() is not supported: the Velk provider has no control"
                        + " channel");
    }

    /**
     * Reads a reader or card attribute, such as {@code VelkSCard.SCARD_ATTR_VENDOR_NAME}.
     *
     * @param attributeId the PC/SC attribute id, for example one of the {@code SCARD_ATTR_*}
     *     constants of {@link VelkSCard}
     * @return the attribute's value (at most 2048 bytes), or {@code null} when the reader does
     *     not support the attribute
     * @throws CardException if PC/SC fails, or another thread holds exclusive access
     * @throws IllegalStateException if the card has been disconnected or removed
     */
    public byte[] getAttribute(int attributeId) throws CardException {
        checkState();
        checkExclusive();
        try {
            return VelkSCard.SCardGetAttr(handle, attributeId);
        } catch (VelkCardException e) {
            throw failed(e);
        }
    }

    /**
     * Ends the connection: {@code reset} true resets the card, false leaves it as it is. Does
     * nothing once the card has been disconnected.
     */
    @Override
    public void disconnect(boolean reset) throws CardException {
        int was = state;
        if (was == DISCONNECTED) {
            return;
        }
        if (was == OK) {
            checkExclusive();
        }
        try {
            VelkSCard.SCardDisconnect(
                    handle, reset ? VelkSCard.SCARD_RESET_CARD : VelkSCard.SCARD_LEAVE_CARD);
        } catch (VelkCardException e) {
            // A removed card's handle is released quietly; its failure was reported already.
            if (was == OK) {
                throw Failures.card(e);
            }
        } finally {
            state = DISCONNECTED;
            exclusiveThread = null;
        }
    }

    /** Whether the connection still works: PC/SC still knows its handle. */
    boolean isValid() {
        if (state != OK) {
            return false;
        }
        try {
            VelkSCard.SCardStatus(handle, new int[1]);
            return true;
        } catch (VelkCardException e) {
            state = REMOVED;
            return false;
        }
    }

    void checkState() {
        int s = state;
        if (s == DISCONNECTED) {
            throw new IllegalStateException("Card has been disconnected");
        } else if (s == REMOVED) {
            throw new IllegalStateException("Card has been removed");
        }
    }

    void checkExclusive() throws CardException {
        Thread holder = exclusiveThread;
        if (holder != null && holder != Thread.currentThread()) {
            throw new CardException("Exclusive access established by another Thread");
        }
    }

    /** A failure of this card's connection; a removed card is unusable from then on. */
    CardException failed(VelkCardException e) {
        if (e.getErrorCode() == Failures.SCARD_W_REMOVED_CARD) {
            state = REMOVED;
        }
        return Failures.card(e);
    }

    @Override
    public String toString() {
        String[] states = {"OK", "REMOVED", "DISCONNECTED"};
        return "PC/SC card in " + terminal.getName() + ", protocol " + getProtocol() + ", state "
                + states[state];
    }
}
