package com.vormel.kx.smartcardio;

import com.vormel.kx.platform.velksmartcard.VelkCardException;
import com.vormel.kx.platform.velksmartcard.VelkSCard;
import java.nio.ByteBuffer;
import java.nio.ReadOnlyBufferException;
import javax.smartcardio.Card;
import javax.smartcardio.CardChannel;
import javax.smartcardio.CardException;
import javax.smartcardio.CommandAPDU;
import javax.smartcardio.ResponseAPDU;

/**
 * The basic channel or a logical channel of a card. A transmission costs what the JDK's does
 * in Java: the state checks, one copy of the command (whose class byte is set for the
 * channel), the bridge call and the response object; the rarer answers {@code 61 xx} and
 * {@code 6C xx} go to {@link ResponseChain}.
 */
final class VelkChannel extends CardChannel {
    private static final int T0 = VelkSCard.SCARD_PROTOCOL_T0;
    private static final int T1 = VelkSCard.SCARD_PROTOCOL_T1;
    // A response buffer must hold the largest short response: 256 data bytes and SW1 SW2.
    private static final int MIN_RESPONSE_SPACE = 258;

    private final VelkCard card;
    private final int channel;
    private volatile boolean closed;

    VelkChannel(VelkCard card, int channel) {
        this.card = card;
        this.channel = channel;
    }

    @Override
    public Card getCard() {
        return card;
    }

    @Override
    public int getChannelNumber() {
        checkClosed();
        return channel;
    }

    @Override
    public ResponseAPDU transmit(CommandAPDU command) throws CardException {
        checkClosed();
        card.checkExclusive();
        return new ResponseAPDU(exchange(command.getBytes()));
    }

    @Override
    public int transmit(ByteBuffer command, ByteBuffer response) throws CardException {
        checkClosed();
        card.checkExclusive();
        if (command == null || response == null) {
            throw new NullPointerException();
        }
        if (response.isReadOnly()) {
            throw new ReadOnlyBufferException();
        }
        if (command == response) {
            throw new IllegalArgumentException(
                    "command and response must not be the same object");
        }
        if (response.remaining() < MIN_RESPONSE_SPACE) {
            throw new IllegalArgumentException("Insufficient space in response buffer");
        }
        byte[] bytes = new byte[command.remaining()];
        command.get(bytes);
        byte[] answer = exchange(bytes);
        response.put(answer);
        return answer.length;
    }

    // The command is the caller's copy: its class byte is set here.
    private byte[] exchange(byte[] command) throws CardException {
        if (command.length < 4) {
            throw new IllegalArgumentException("Command APDU must be at least 4 bytes long");
        }
        if (command[0] >= 0 && command[1] == 0x70) {
            throw new IllegalArgumentException(
                    "Manage channel command not allowed, use openLogicalChannel()");
        }
        command[0] = ClassByte.forChannel(command[0], channel);
        VelkCard c = card;
        int protocol = c.protocol;
        byte[] sent = command;
        if (protocol == T0 && command.length >= 7) {
            if (command[4] == 0) {
                throw new CardException("Extended length forms not supported for T=0");
            }
            sent = CommandForms.withoutShortLe(command);
        }
        byte[] response;
        try {
            response = VelkSCard.SCardTransmit(c.handle, protocol, sent);
        } catch (VelkCardException e) {
            throw c.failed(e);
        }
        int n = response.length;
        if (n < 2) {
            throw Failures.noStatusWord(n);
        }
        if ((response[n - 2] == 0x61 || (n == 2 && response[0] == 0x6C))
                && (protocol == T0 || protocol == T1)) {
            return ResponseChain.follow(c, sent, response);
        }
        return response;
    }

    @Override
    public void close() throws CardException {
        if (getChannelNumber() == 0) {
            throw new IllegalStateException("Cannot close basic logical channel");
        }
        card.checkExclusive();
        try {
            byte[] command = {0x00, 0x70, (byte) 0x80, (byte) channel};
            command[0] = ClassByte.forChannel(command[0], channel);
            byte[] response = VelkSCard.SCardTransmit(card.handle, card.protocol, command);
            if (response.length != 2 || response[0] != (byte) 0x90 || response[1] != 0) {
                throw new CardException("close() failed: "
                        + Failures.hex(response));
            }
        } catch (VelkCardException e) {
            throw card.failed(e);
        } finally {
            closed = true;
        }
    }

    private void checkClosed() {
        card.checkState();
        if (closed) {
            throw new IllegalStateException("Logical channel has been closed");
        }
    }

    @Override
    public String toString() {
        return "PC/SC channel " + channel;
    }
}
