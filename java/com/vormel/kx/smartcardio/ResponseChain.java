package com.vormel.kx.smartcardio;

import com.vormel.kx.platform.velksmartcard.VelkCardException;
import com.vormel.kx.platform.velksmartcard.VelkSCard;
import javax.smartcardio.CardException;

/**
 * The JDK provider's response handling, on T=0 and T=1 alike: {@code 61 xx} fetches xx more
 * bytes with GET RESPONSE (the command's class byte kept, channel bits included) until the card
 * is done, and {@code 6C xx} sends the command again with Le = xx.
 */
final class ResponseChain {
    private static final int MAX_EXCHANGES = 256;
    private static final byte[] NONE = {};

    private ResponseChain() {}

    /**
     * Follows a response that starts a chain.
     *
     * @param card the card
     * @param command the command as it was sent
     * @param response the card's first answer to it
     * @return the data of every answer and the last status word
     */
    static byte[] follow(VelkCard card, byte[] command, byte[] response) throws CardException {
        boolean t0 = card.protocol == VelkSCard.SCARD_PROTOCOL_T0;
        byte[] data = NONE;
        for (int exchanges = 1; ; ++exchanges) {
            int n = response.length;
            if (n == 2 && response[0] == 0x6C) {
                byte[] resent = CommandForms.withLe(command, response[1], t0);
                if (resent == null) {
                    return concat(data, response, n);
                }
                command = resent;
            } else if (n >= 2 && response[n - 2] == 0x61) {
                data = concat(data, response, n - 2);
                command = new byte[] {command[0], (byte) 0xC0, 0x00, 0x00, response[n - 1]};
            } else {
                return concat(data, response, n);
            }
            if (exchanges == MAX_EXCHANGES) {
                throw new CardException(
                        "Number of response iterations exceeded maximum " + MAX_EXCHANGES);
            }
            try {
                response = VelkSCard.SCardTransmit(card.handle, card.protocol, command);
            } catch (VelkCardException e) {
                throw card.failed(e);
            }
        }
    }

    private static byte[] concat(byte[] first, byte[] second, int length) {
        if (first.length == 0 && length == second.length) {
            return second;
        }
        byte[] joined = new byte[first.length + length];
        System.arraycopy(first, 0, joined, 0, first.length);
        System.arraycopy(second, 0, joined, first.length, length);
        return joined;
    }
}
