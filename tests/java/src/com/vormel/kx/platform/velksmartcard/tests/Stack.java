package com.vormel.kx.platform.velksmartcard.tests;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNotNull;

import com.vormel.kx.platform.velksmartcard.VelkCardException;
import com.vormel.kx.platform.velksmartcard.VelkSCard;
import java.io.BufferedReader;
import java.io.IOException;
import java.io.InputStreamReader;
import java.io.OutputStream;
import java.net.InetSocketAddress;
import java.net.Socket;
import java.nio.charset.StandardCharsets;

/**
 * The private PC/SC stack that the stack suites run in (tests/stack/with-pcscd.sh): reader 1
 * holds a T=1 virtual card, reader 2 a T=0 one, and each card can be removed and inserted
 * through its control channel.
 */
final class Stack {
    private Stack() {}

    /** ATR of the T=1 card ("VELKCRD1" in the historical bytes). */
    static final byte[] T1_ATR = {0x3B, (byte) 0x88, 0x01, 0x56, 0x45, 0x4C, 0x4B, 0x43, 0x52,
        0x44, 0x31, (byte) 0xF9};
    /** ATR of the T=0 card. */
    static final byte[] T0_ATR = {0x3B, 0x08, 0x56, 0x45, 0x4C, 0x4B, 0x43, 0x52, 0x44, 0x30};

    /** Upper bound of every wait for the stack to notice a change; never reached when healthy. */
    static final long PATIENCE_MS = 60_000;

    static String t1Reader() {
        return env("VELK_READER");
    }

    static String t0Reader() {
        return env("VELK_READER2");
    }

    private static String env(String name) {
        String value = System.getenv(name);
        assertNotNull(value, name + " is unset: run this suite through with-pcscd.sh");
        return value;
    }

    static long establish() throws VelkCardException {
        return checkedHandle(VelkSCard.SCardEstablishContext(VelkSCard.SCARD_SCOPE_SYSTEM));
    }

    /**
     * On the 32-bit target a PC/SC handle reaches Java sign-extended, so it always fits an int;
     * about half of them have bit 31 set, so every handle the suites get is checked.
     */
    static long checkedHandle(long handle) {
        if ("32".equals(System.getProperty("sun.arch.data.model"))) {
            assertEquals((long) (int) handle, handle,
                    "a 32-bit handle is sign-extended: 0x" + Long.toHexString(handle));
        }
        return handle;
    }

    static void releaseQuietly(long context) {
        try {
            VelkSCard.SCardReleaseContext(context);
        } catch (VelkCardException e) {
            // already released by the test itself
        }
    }

    static void disconnectQuietly(long card) {
        try {
            VelkSCard.SCardDisconnect(card, VelkSCard.SCARD_LEAVE_CARD);
        } catch (VelkCardException e) {
            // already disconnected by the test itself
        }
    }

    static long connect(long context, String reader) throws VelkCardException {
        return checkedHandle(VelkSCard.SCardConnect(context, reader,
                VelkSCard.SCARD_SHARE_SHARED, VelkSCard.SCARD_PROTOCOL_ANY, new int[1]));
    }

    /** Removes the T=1 card from reader 1 and waits until PC/SC shows the reader empty. */
    static void removeT1Card(long context) throws Exception {
        assertEquals("ok removed", control("remove"));
        awaitReaderState(context, t1Reader(), VelkSCard.SCARD_STATE_EMPTY);
    }

    /** Puts the T=1 card back and waits until PC/SC shows it present. */
    static void insertT1Card(long context) throws Exception {
        assertEquals("ok inserted", control("insert"));
        awaitReaderState(context, t1Reader(), VelkSCard.SCARD_STATE_PRESENT);
    }

    /** One command on the T=1 card's control channel; its one-line reply. */
    static String control(String command) throws IOException {
        String[] endpoint = env("VELK_VCARD_CONTROL").split(":");
        try (Socket s = new Socket()) {
            s.connect(new InetSocketAddress(endpoint[0], Integer.parseInt(endpoint[1])), 10_000);
            s.setSoTimeout((int) PATIENCE_MS);
            OutputStream out = s.getOutputStream();
            out.write((command + "\n").getBytes(StandardCharsets.US_ASCII));
            out.flush();
            return new BufferedReader(
                    new InputStreamReader(s.getInputStream(), StandardCharsets.US_ASCII))
                    .readLine();
        }
    }

    /** Waits, through the bridge itself, until the reader's event state has the given bit. */
    static int awaitReaderState(long context, String reader, int bit) throws Exception {
        String[] names = {reader};
        int[] known = {VelkSCard.SCARD_STATE_UNAWARE};
        long deadline = System.currentTimeMillis() + PATIENCE_MS;
        while (true) {
            int[] now = VelkSCard.SCardGetStatusChange(context, 1000, known, names);
            if ((now[0] & bit) != 0) {
                return now[0];
            }
            if (System.currentTimeMillis() > deadline) {
                throw new AssertionError("reader " + reader + " never showed state bit 0x"
                        + Integer.toHexString(bit) + "; last 0x" + Integer.toHexString(now[0]));
            }
            known = new int[] {now[0] & ~VelkSCard.SCARD_STATE_CHANGED};
        }
    }
}
