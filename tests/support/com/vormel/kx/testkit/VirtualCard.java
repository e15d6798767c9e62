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
 * One of the stack fixture's two virtual cards: the reader it sits in, its ATR, and its control
 * channel (a line protocol: status, remove, insert), all taken from the fixture's environment.
 */
public final class VirtualCard {
    private static final VirtualCard T1 =
            new VirtualCard("VELK_READER", "VELK_ATR", "VELK_VCARD_CONTROL");
    private static final VirtualCard T0 =
            new VirtualCard("VELK_READER2", "VELK_ATR2", "VELK_VCARD2_CONTROL");

    private final String readerVariable;
    private final String atrVariable;
    private final String controlVariable;

    private VirtualCard(String readerVariable, String atrVariable, String controlVariable) {
        this.readerVariable = readerVariable;
        this.atrVariable = atrVariable;
        this.controlVariable = controlVariable;
    }

    /**
     * The T=1 card, in the first reader.
     *
     * @return the card
     */
    public static VirtualCard t1() {
        return T1;
    }

    /**
     * The T=0 card, in the second reader.
     *
     * @return the card
     */
    public static VirtualCard t0() {
        return T0;
    }

    /**
     * The name PC/SC gives the card's reader.
     *
     * @return the reader name
     */
    public String reader() {
        return Fixture.env(readerVariable);
    }

    /**
     * The ATR that the card gave pcscd when the stack started.
     *
     * @return a fresh copy of the ATR
     */
    public byte[] atr() {
        return HexFormat.of().parseHex(Fixture.env(atrVariable));
    }

    /**
     * Sends one command on the card's control channel.
     *
     * @param command status, remove, insert or insert SCRIPT
     * @return the card's one-line reply
     * @throws IOException when the card cannot be reached
     */
    public String control(String command) throws IOException {
        String[] endpoint = Fixture.env(controlVariable).split(":");
        try (Socket s = new Socket()) {
            s.connect(new InetSocketAddress(endpoint[0], Integer.parseInt(endpoint[1])), 10_000);
            // An insert answers once the reader driver took the card.
            s.setSoTimeout((int) Patience.MILLIS);
            OutputStream out = s.getOutputStream();
            out.write((command + "\n").getBytes(StandardCharsets.US_ASCII));
            out.flush();
            return new BufferedReader(
                    new InputStreamReader(s.getInputStream(), StandardCharsets.US_ASCII))
                    .readLine();
        }
    }

    /**
     * Pulls the card out of its reader; PC/SC notices a moment later.
     *
     * @throws IOException when the card cannot be reached
     */
    public void remove() throws IOException {
        expect("ok removed", "remove");
    }

    /**
     * Puts the card back and returns once the reader driver took it.
     *
     * @throws IOException when the card cannot be reached
     */
    public void insert() throws IOException {
        expect("ok inserted", "insert");
    }

    /**
     * Puts the card back if a test left it out.
     *
     * @throws IOException when the card cannot be reached
     */
    public void insertIfRemoved() throws IOException {
        if ("removed".equals(control("status"))) {
            insert();
        }
    }

    private void expect(String reply, String command) throws IOException {
        String got = control(command);
        if (!reply.equals(got)) {
            throw new AssertionError(command + " on " + controlVariable + " answered " + got);
        }
    }
}
