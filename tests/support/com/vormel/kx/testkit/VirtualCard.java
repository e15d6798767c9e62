package com.vormel.kx.testkit;

import java.io.BufferedReader;
import java.io.IOException;
import java.io.InputStreamReader;
import java.io.OutputStream;
import java.net.InetSocketAddress;
import java.net.Socket;
import java.nio.charset.StandardCharsets;
import java.util.HexFormat;

/**
 * One of the stack fixture's virtual cards: the reader it sits in, its ATR, and its control
 * channel (a line protocol: status, remove, insert), all taken from the fixture's environment;
 * and the virtual pin-pad's keypad.
 */
public final class VirtualCard {
    private static final VirtualCard T1 =
            new VirtualCard("VELK_READER", "VELK_ATR", "VELK_VCARD_CONTROL");
    private static final VirtualCard T0 =
            new VirtualCard("VELK_READER2", "VELK_ATR2", "VELK_VCARD2_CONTROL");
    private static final VirtualCard PIN_PAD =
            new VirtualCard("VELK_PINPAD_READER", "VELK_PINPAD_ATR", "VELK_PINPAD_CARD_CONTROL");

    // The names of the fixture's variables.
    private final String reader;
    private final String atr;
    private final String control;

    private VirtualCard(String reader, String atr, String control) {
        this.reader = reader;
        this.atr = atr;
        this.control = control;
    }

    /** The T=1 card, in the first reader. */
    public static VirtualCard t1() {
        return T1;
    }

    /** The T=0 card, in the second reader. */
    public static VirtualCard t0() {
        return T0;
    }

    /** The card behind the virtual pin-pad reader (a stack started with --pinpad). */
    public static VirtualCard pinPad() {
        return PIN_PAD;
    }

    /**
     * Types on the virtual pin-pad's keypad: "type 1234" (digits, then OK), "cancel",
     * "timeout"; each queues one entry for the next PIN the reader asks for.
     */
    public static void keypad(String command) throws IOException {
        String reply = send("VELK_PINPAD_CONTROL", command);
        if (!"ok".equals(reply)) {
            throw new AssertionError("keypad: " + command + " answered " + reply);
        }
    }

    /** The name PC/SC gives the card's reader. */
    public String reader() {
        return Fixture.env(reader);
    }

    /** A copy of the ATR that the card gave pcscd when the stack started. */
    public byte[] atr() {
        return HexFormat.of().parseHex(Fixture.env(atr));
    }

    /** Sends one command (status, remove, insert, insert SCRIPT); the card's one-line reply. */
    public String control(String command) throws IOException {
        return send(control, command);
    }

    private static String send(String variable, String command) throws IOException {
        String[] endpoint = Fixture.env(variable).split(":");
        try (Socket s = new Socket()) {
            s.connect(new InetSocketAddress(endpoint[0], Integer.parseInt(endpoint[1])), 10_000);
            s.setSoTimeout((int) Patience.MILLIS); // an insert answers once the driver took it
            OutputStream out = s.getOutputStream();
            out.write((command + "\n").getBytes(StandardCharsets.US_ASCII));
            out.flush();
            return new BufferedReader(
                    new InputStreamReader(s.getInputStream(), StandardCharsets.US_ASCII))
                    .readLine();
        }
    }

    /** Pulls the card out of its reader; PC/SC notices a moment later. */
    public void remove() throws IOException {
        expect("ok removed", "remove");
    }

    /** Puts the card back; returns once the reader's driver took it. */
    public void insert() throws IOException {
        expect("ok inserted", "insert");
    }

    /** Puts the card back if a test left it out. */
    public void insertIfRemoved() throws IOException {
        if ("removed".equals(control("status"))) {
            insert();
        }
    }

    private void expect(String reply, String command) throws IOException {
        String got = control(command);
        if (!reply.equals(got)) {
            throw new AssertionError(command + " on " + control + " answered " + got);
        }
    }
}
