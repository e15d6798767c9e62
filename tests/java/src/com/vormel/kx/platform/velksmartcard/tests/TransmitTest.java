package com.vormel.kx.platform.velksmartcard.tests;

import static com.vormel.kx.testkit.Failures.assertFatal;
import static com.vormel.kx.testkit.Failures.assertPcscFailure;
import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;

import com.vormel.kx.platform.velksmartcard.VelkSCard;
import com.vormel.kx.testkit.Apdus;
import com.vormel.kx.testkit.Cards;
import com.vormel.kx.testkit.CardsExtension;
import com.vormel.kx.testkit.Pcsc;
import com.vormel.kx.testkit.PcscTexts;
import com.vormel.kx.testkit.VirtualCard;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.Timeout;
import org.junit.jupiter.api.extension.ExtendWith;

/** APDU exchanges with the virtual cards: the bytes both ways and the limits of the response. */
@Timeout(120)
@ExtendWith(CardsExtension.class)
class TransmitTest {
    private static final byte[] OK = {(byte) 0x90, 0x00};

    private final Cards cards;

    TransmitTest(Cards cards) {
        this.cards = cards;
    }

    @Test
    void selectAndReadBinaryUnderT1() throws Exception {
        byte[] select = Apdus.selectByName();
        assertArrayEquals(OK,
                VelkSCard.SCardTransmit(cards.t1(), VelkSCard.SCARD_PROTOCOL_T1, select));
        byte[] read = Apdus.readBinary(4);
        assertArrayEquals(new byte[] {0x01, 0x02, 0x03, 0x04, (byte) 0x90, 0x00},
                VelkSCard.SCardTransmit(cards.t1(), VelkSCard.SCARD_PROTOCOL_T1, read));
        assertArrayEquals(Apdus.selectByName(), select, "the request is never written");
        assertArrayEquals(Apdus.readBinary(4), read, "the request is never written");
    }

    @Test
    void selectAndReadBinaryUnderT0() throws Exception {
        assertArrayEquals(OK, VelkSCard.SCardTransmit(
                cards.t0(), VelkSCard.SCARD_PROTOCOL_T0, Apdus.selectByName()));
        assertArrayEquals(new byte[] {0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F, (byte) 0x90, 0x00},
                VelkSCard.SCardTransmit(cards.t0(), VelkSCard.SCARD_PROTOCOL_T0,
                        Apdus.readBinary(6)));
    }

    @Test
    void theRequestReachesTheCardByteForByte() throws Exception {
        byte[] data = new byte[255];
        for (int i = 0; i < data.length; i++) {
            data[i] = (byte) (i * 7 + 3);
        }
        byte[] request = Apdus.envelope(data);
        byte[] copy = request.clone();
        byte[] expected = new byte[data.length + 2];
        System.arraycopy(data, 0, expected, 0, data.length);
        expected[data.length] = (byte) 0x90;
        assertArrayEquals(expected,
                VelkSCard.SCardTransmit(cards.t1(), VelkSCard.SCARD_PROTOCOL_T1, request));
        assertArrayEquals(copy, request);
    }

    @Test
    void aStatusWordAloneIsReturnedAsTwoBytes() throws Exception {
        assertArrayEquals(new byte[] {0x62, (byte) 0x83}, VelkSCard.SCardTransmit(
                cards.t1(), VelkSCard.SCARD_PROTOCOL_T1, Apdus.statusWordOnly()));
    }

    @Test
    void aResponseOfExactly1024BytesIsReturnedWhole() throws Exception {
        byte[] response = VelkSCard.SCardTransmit(
                cards.t1(), VelkSCard.SCARD_PROTOCOL_T1, Apdus.getData(1022));
        assertEquals(1024, response.length);
        for (int k = 0; k < 1022; k++) {
            assertEquals((byte) k, response[k], "filler byte " + k);
        }
        assertEquals((byte) 0x90, response[1022]);
        assertEquals(0x00, response[1023]);
    }

    @Test
    void aResponseOver1024BytesIsPcscsInsufficientBuffer() throws Exception {
        assertPcscFailure("SCardTransmit failed with code " + PcscTexts.INSUFFICIENT_BUFFER,
                () -> VelkSCard.SCardTransmit(
                        cards.t1(), VelkSCard.SCARD_PROTOCOL_T1, Apdus.getData(1023)));
        // The connection survives it.
        assertArrayEquals(OK, VelkSCard.SCardTransmit(
                cards.t1(), VelkSCard.SCARD_PROTOCOL_T1, Apdus.selectByName()));
    }

    @Test
    void anEmptyRequestGoesToPcsc() {
        // PC/SC lite's client refuses a command without bytes; its answer comes back as is.
        assertPcscFailure("SCardTransmit failed with code " + PcscTexts.INVALID_PARAMETER,
                () -> VelkSCard.SCardTransmit(
                        cards.t1(), VelkSCard.SCARD_PROTOCOL_T1, new byte[0]));
    }

    @Test
    void protocolsAreCheckedByTheBridgeThenByPcsc() throws Exception {
        for (int protocol : new int[] {0, 3, 4, -1}) {
            byte[] request = Apdus.readBinary(4);
            assertFatal("illegal protocol " + protocol, 630,
                    () -> VelkSCard.SCardTransmit(cards.t1(), protocol, request));
            assertArrayEquals(Apdus.readBinary(4), request);
        }
        assertFatal("request=NULL", 1060,
                () -> VelkSCard.SCardTransmit(cards.t1(), VelkSCard.SCARD_PROTOCOL_T1, null));
        assertPcscFailure("SCardTransmit failed with code SCARD_E_PROTO_MISMATCH (The requested"
                        + " protocols are incompatible with the protocol currently in use with"
                        + " the card.)",
                () -> VelkSCard.SCardTransmit(
                        cards.t0(), VelkSCard.SCARD_PROTOCOL_T1, Apdus.readBinary(4)));
        assertArrayEquals(OK, VelkSCard.SCardTransmit(
                cards.t0(), VelkSCard.SCARD_PROTOCOL_T0, Apdus.selectByName()));
    }

    @Test
    void aCardRemovedAfterConnectingIsReportedByPcsc() throws Exception {
        try {
            Pcsc.removeCard(cards.context(), VirtualCard.t1());
            assertPcscFailure("SCardTransmit failed with code " + PcscTexts.REMOVED_CARD,
                    () -> VelkSCard.SCardTransmit(
                            cards.t1(), VelkSCard.SCARD_PROTOCOL_T1, Apdus.readBinary(4)));
            int[] state = {-1};
            assertPcscFailure("SCardStatus failed with code " + PcscTexts.REMOVED_CARD,
                    () -> VelkSCard.SCardStatus(cards.t1(), state));
            assertArrayEquals(new int[] {-1}, state);
        } finally {
            Pcsc.insertCard(cards.context(), VirtualCard.t1());
            // The shared connection works again once reconnected, for the tests after this one.
            VelkSCard.SCardReconnect(cards.t1(), VelkSCard.SCARD_SHARE_SHARED,
                    VelkSCard.SCARD_PROTOCOL_ANY, VelkSCard.SCARD_RESET_CARD, new int[1]);
        }
        assertArrayEquals(OK, VelkSCard.SCardTransmit(
                cards.t1(), VelkSCard.SCARD_PROTOCOL_T1, Apdus.selectByName()));
        // A new connection reaches the card that came back.
        long again = Pcsc.connect(cards.context(), VirtualCard.t1().reader());
        try {
            assertArrayEquals(OK, VelkSCard.SCardTransmit(
                    again, VelkSCard.SCARD_PROTOCOL_T1, Apdus.selectByName()));
        } finally {
            VelkSCard.SCardDisconnect(again, VelkSCard.SCARD_LEAVE_CARD);
        }
    }
}
