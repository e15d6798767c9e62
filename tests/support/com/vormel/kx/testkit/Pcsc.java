package com.vormel.kx.testkit;

import com.vormel.kx.platform.velksmartcard.VelkCardException;
import com.vormel.kx.platform.velksmartcard.VelkSCard;

/** The bridge calls that the stack suites make around the calls they test. */
public final class Pcsc {
    private Pcsc() {}

    /** A new context of system scope. */
    public static long establish() throws VelkCardException {
        return checkedHandle(VelkSCard.SCardEstablishContext(VelkSCard.SCARD_SCOPE_SYSTEM));
    }

    /** A shared connection with whatever protocol the card offers. */
    public static long connect(long context, String reader) throws VelkCardException {
        return checkedHandle(VelkSCard.SCardConnect(context, reader,
                VelkSCard.SCARD_SHARE_SHARED, VelkSCard.SCARD_PROTOCOL_ANY, new int[1]));
    }

    /**
     * On the 32-bit target a PC/SC handle reaches Java sign-extended, so it always fits an int;
     * about half of them have bit 31 set, so every handle the suites get is checked.
     */
    public static long checkedHandle(long handle) {
        if ("32".equals(System.getProperty("sun.arch.data.model")) && (int) handle != handle) {
            throw new AssertionError("a 32-bit handle is sign-extended: 0x"
                    + Long.toHexString(handle));
        }
        return handle;
    }

    /** Releases a context that the test may have released itself. */
    public static void releaseQuietly(long context) {
        try {
            VelkSCard.SCardReleaseContext(context);
        } catch (VelkCardException e) {
            // already released by the test itself
        }
    }

    /** Disconnects a card that the test may have disconnected itself. */
    public static void disconnectQuietly(long card) {
        try {
            VelkSCard.SCardDisconnect(card, VelkSCard.SCARD_LEAVE_CARD);
        } catch (VelkCardException e) {
            // already disconnected by the test itself
        }
    }

    /** Waits, through the bridge itself, until the reader's event state has the bit; returns it. */
    public static int awaitReaderState(long context, String reader, int bit) throws Exception {
        String[] names = {reader};
        int[] known = {VelkSCard.SCARD_STATE_UNAWARE};
        return Patience.await(() -> "reader " + reader + " never showed state bit 0x"
                + Integer.toHexString(bit) + "; last 0x" + Integer.toHexString(known[0]), () -> {
                    int[] now = VelkSCard.SCardGetStatusChange(context, 1000, known, names);
                    known[0] = now[0] & ~VelkSCard.SCARD_STATE_CHANGED;
                    return (now[0] & bit) != 0 ? now[0] : null;
                });
    }

    /** Pulls the card and waits until PC/SC shows its reader empty. */
    public static void removeCard(long context, VirtualCard card) throws Exception {
        card.remove();
        awaitReaderState(context, card.reader(), VelkSCard.SCARD_STATE_EMPTY);
    }

    /** Puts the card back and waits until PC/SC shows it present. */
    public static void insertCard(long context, VirtualCard card) throws Exception {
        card.insert();
        awaitReaderState(context, card.reader(), VelkSCard.SCARD_STATE_PRESENT);
    }
}
