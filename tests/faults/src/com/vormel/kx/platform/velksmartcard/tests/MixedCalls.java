package com.vormel.kx.platform.velksmartcard.tests;

import com.vormel.kx.platform.velksmartcard.VelkCardException;
import com.vormel.kx.platform.velksmartcard.VelkCardFatalException;
import com.vormel.kx.platform.velksmartcard.VelkSCard;
import com.vormel.kx.testkit.VirtualCard;
import java.util.Arrays;

/**
 * One application's own context and connection, making the calls of a busy client in turn: an
 * APDU exchange, the card status, the reader list, an immediate status change, and a failing
 * call of each kind (a PC/SC error code and a fatal failure of the bridge). Every result is
 * checked; a wrong one is an AssertionError. Used by the fault suites and the soak, so it needs
 * nothing but the product's classes and the test kit's (no JUnit).
 */
public final class MixedCalls implements AutoCloseable {
    /** Number of different calls; call(n) makes call n modulo this. */
    public static final int KINDS = 6;

    private static final String NOT_TRANSACTED = "SCardEndTransaction failed with code "
            + "SCARD_E_NOT_TRANSACTED (An attempt was made to end a nonexistent transaction.)";
    private static final String ILLEGAL_PROTOCOL = "illegal protocol 0 (line=630)";
    private static final int POWERED = VelkSCard.SCARD_PRESENT | VelkSCard.SCARD_POWERED;

    private final String reader;
    private final byte[] atr;
    private final long context;
    private final long card;
    private final int protocol;
    private final String[] watched;
    private final int[] unaware = {VelkSCard.SCARD_STATE_UNAWARE};
    private final int[] state = new int[1];

    /** Connects to one of the stack fixture's cards. */
    public MixedCalls(VirtualCard virtualCard) throws VelkCardException {
        this.reader = virtualCard.reader();
        this.atr = virtualCard.atr();
        this.watched = new String[] {reader};
        context = VelkSCard.SCardEstablishContext(VelkSCard.SCARD_SCOPE_SYSTEM);
        int[] active = new int[1];
        long connected;
        try {
            connected = VelkSCard.SCardConnect(context, reader, VelkSCard.SCARD_SHARE_SHARED,
                    VelkSCard.SCARD_PROTOCOL_ANY, active);
        } catch (VelkCardException e) {
            VelkSCard.SCardReleaseContext(context);
            throw e;
        }
        card = connected;
        protocol = active[0];
    }

    /** The T=1 card in the first reader. */
    public static MixedCalls t1() throws VelkCardException {
        return new MixedCalls(VirtualCard.t1());
    }

    /** The T=0 card in the second reader. */
    public static MixedCalls t0() throws VelkCardException {
        return new MixedCalls(VirtualCard.t0());
    }

    /** Makes call number n (modulo KINDS) and checks its outcome. */
    public void call(long n) throws VelkCardException {
        switch ((int) (n % KINDS)) {
            case 0 -> exchange(n);
            case 1 -> check(Arrays.equals(atr, VelkSCard.SCardStatus(card, state))
                    && (state[0] & POWERED) == POWERED, "card status");
            case 2 -> {
                String[] readers = VelkSCard.SCardListReaders(context);
                check(readers != null && Arrays.asList(readers).contains(reader), "reader list");
            }
            case 3 -> {
                int[] now = VelkSCard.SCardGetStatusChange(context, 0, unaware, watched);
                check((now[0] & VelkSCard.SCARD_STATE_PRESENT) != 0, "status change");
            }
            case 4 -> {
                try {
                    VelkSCard.SCardEndTransaction(card, VelkSCard.SCARD_LEAVE_CARD);
                    check(false, "an end without a transaction succeeded");
                } catch (VelkCardException e) {
                    check(NOT_TRANSACTED.equals(e.getMessage()), "PC/SC failure: " + e);
                }
            }
            default -> {
                try {
                    VelkSCard.SCardTransmit(card, 0, APDU_HEADER);
                    check(false, "a transmit with protocol 0 succeeded");
                } catch (VelkCardFatalException e) {
                    check(ILLEGAL_PROTOCOL.equals(e.getMessage()), "fatal failure: " + e);
                }
            }
        }
    }

    private static final byte[] APDU_HEADER = {0x00, (byte) 0xA4, 0x04, 0x00};

    /** ENVELOPE with data the card echoes back, followed by 9000. */
    public void exchange(long n) throws VelkCardException {
        byte[] apdu = {0x00, (byte) 0xC2, 0x00, 0x00, 0x04, (byte) (n >> 24), (byte) (n >> 16),
            (byte) (n >> 8), (byte) n};
        byte[] response = VelkSCard.SCardTransmit(card, protocol, apdu);
        check(response.length == 6 && response[0] == apdu[5] && response[3] == apdu[8]
                && response[4] == (byte) 0x90 && response[5] == 0x00,
                "exchange answered " + Arrays.toString(response));
    }

    private void check(boolean ok, String what) {
        if (!ok) {
            throw new AssertionError(what + " (reader " + reader + ")");
        }
    }

    @Override
    public void close() throws VelkCardException {
        try {
            VelkSCard.SCardDisconnect(card, VelkSCard.SCARD_LEAVE_CARD);
        } finally {
            VelkSCard.SCardReleaseContext(context);
        }
    }
}
