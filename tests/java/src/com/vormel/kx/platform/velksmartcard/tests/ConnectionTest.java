package com.vormel.kx.platform.velksmartcard.tests;

import static com.vormel.kx.testkit.Failures.assertFatal;
import static com.vormel.kx.testkit.Failures.assertFatalCausedBy;
import static com.vormel.kx.testkit.Failures.assertPcscFailure;
import static org.junit.jupiter.api.Assertions.assertArrayEquals;

import com.vormel.kx.platform.velksmartcard.VelkSCard;
import com.vormel.kx.testkit.Apdus;
import com.vormel.kx.testkit.Pcsc;
import com.vormel.kx.testkit.PcscTexts;
import com.vormel.kx.testkit.VirtualCard;
import org.junit.jupiter.api.AfterEach;
import org.junit.jupiter.api.BeforeEach;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.Timeout;

/** Contexts, reader listing and the life of a connection against the private pcscd. */
@Timeout(120)
class ConnectionTest {
    private static final byte[] T1_READ = {0x01, 0x02, 0x03, 0x04, (byte) 0x90, 0x00};

    private long context;

    @BeforeEach
    void establish() throws Exception {
        context = Pcsc.establish();
    }

    @AfterEach
    void release() {
        Pcsc.releaseQuietly(context);
    }

    @Test
    void listsTheVirtualReadersInPcscOrder() throws Exception {
        assertArrayEquals(new String[] {VirtualCard.t1().reader(), VirtualCard.t0().reader()},
                VelkSCard.SCardListReaders(context));
    }

    @Test
    void connectPutsTheActiveProtocolInElementZeroOnly() throws Exception {
        int[] t1 = {-7, -8, -9};
        long card1 = VelkSCard.SCardConnect(context, VirtualCard.t1().reader(),
                VelkSCard.SCARD_SHARE_SHARED, VelkSCard.SCARD_PROTOCOL_ANY, t1);
        int[] t0 = {-7, -8};
        long card2 = VelkSCard.SCardConnect(context, VirtualCard.t0().reader(),
                VelkSCard.SCARD_SHARE_SHARED, VelkSCard.SCARD_PROTOCOL_ANY, t0);
        try {
            assertArrayEquals(new int[] {VelkSCard.SCARD_PROTOCOL_T1, -8, -9}, t1);
            assertArrayEquals(new int[] {VelkSCard.SCARD_PROTOCOL_T0, -8}, t0);
        } finally {
            VelkSCard.SCardDisconnect(card1, VelkSCard.SCARD_LEAVE_CARD);
            VelkSCard.SCardDisconnect(card2, VelkSCard.SCARD_LEAVE_CARD);
        }
    }

    @Test
    void connectToUnknownOrNullReaderReportsUnknownReader() {
        int[] active = {3, 4};
        assertPcscFailure("SCardConnect failed with code " + PcscTexts.UNKNOWN_READER,
                () -> VelkSCard.SCardConnect(context, "No Such Reader 00 00",
                        VelkSCard.SCARD_SHARE_SHARED, VelkSCard.SCARD_PROTOCOL_ANY, active));
        assertPcscFailure("SCardConnect failed with code " + PcscTexts.UNKNOWN_READER,
                () -> VelkSCard.SCardConnect(context, null, VelkSCard.SCARD_SHARE_SHARED,
                        VelkSCard.SCARD_PROTOCOL_ANY, active));
        assertArrayEquals(new int[] {3, 4}, active);
    }

    @Test
    void refusedActiveProtocolArrayLeavesNoConnectionBehind() throws Exception {
        assertFatal("activeProtocol size = 0", 1021,
                () -> VelkSCard.SCardConnect(context, VirtualCard.t1().reader(),
                        VelkSCard.SCARD_SHARE_EXCLUSIVE, VelkSCard.SCARD_PROTOCOL_ANY, new int[0]));
        assertFatal("activeProtocol=NULL", 1020,
                () -> VelkSCard.SCardConnect(context, VirtualCard.t1().reader(),
                        VelkSCard.SCARD_SHARE_EXCLUSIVE, VelkSCard.SCARD_PROTOCOL_ANY, null));
        // A connection left open would make the exclusive one below a sharing violation.
        long card = VelkSCard.SCardConnect(context, VirtualCard.t1().reader(),
                VelkSCard.SCARD_SHARE_EXCLUSIVE, VelkSCard.SCARD_PROTOCOL_ANY, new int[1]);
        VelkSCard.SCardDisconnect(card, VelkSCard.SCARD_LEAVE_CARD);
    }

    @Test
    void reconnectKeepsTheHandle() throws Exception {
        long card = Pcsc.connect(context, VirtualCard.t1().reader());
        try {
            int[] active = {0, 55};
            VelkSCard.SCardReconnect(card, VelkSCard.SCARD_SHARE_SHARED,
                    VelkSCard.SCARD_PROTOCOL_ANY, VelkSCard.SCARD_RESET_CARD, active);
            assertArrayEquals(new int[] {VelkSCard.SCARD_PROTOCOL_T1, 55}, active);
            assertArrayEquals(T1_READ,
                    VelkSCard.SCardTransmit(card, active[0], Apdus.readBinary(4)));
        } finally {
            VelkSCard.SCardDisconnect(card, VelkSCard.SCARD_LEAVE_CARD);
        }
    }

    @Test
    void reconnectIntoAnEmptyArrayReportsTheIndexFailureAndStaysConnected() throws Exception {
        long card = Pcsc.connect(context, VirtualCard.t1().reader());
        try {
            assertFatalCausedBy(ArrayIndexOutOfBoundsException.class, 742,
                    () -> VelkSCard.SCardReconnect(card, VelkSCard.SCARD_SHARE_SHARED,
                            VelkSCard.SCARD_PROTOCOL_ANY, VelkSCard.SCARD_LEAVE_CARD,
                            new int[0]));
            assertFatal("activeProtocol=NULL", 1030,
                    () -> VelkSCard.SCardReconnect(card, VelkSCard.SCARD_SHARE_SHARED,
                            VelkSCard.SCARD_PROTOCOL_ANY, VelkSCard.SCARD_LEAVE_CARD, null));
            assertArrayEquals(T1_READ, VelkSCard.SCardTransmit(
                    card, VelkSCard.SCARD_PROTOCOL_T1, Apdus.readBinary(4)));
        } finally {
            VelkSCard.SCardDisconnect(card, VelkSCard.SCARD_LEAVE_CARD);
        }
    }

    @Test
    void aDisconnectedHandleIsRefusedByPcsc() throws Exception {
        long card = Pcsc.connect(context, VirtualCard.t1().reader());
        VelkSCard.SCardDisconnect(card, VelkSCard.SCARD_LEAVE_CARD);

        byte[] request = Apdus.readBinary(4);
        assertPcscFailure("SCardTransmit failed with code " + PcscTexts.INVALID_HANDLE,
                () -> VelkSCard.SCardTransmit(card, VelkSCard.SCARD_PROTOCOL_T1, request));
        assertArrayEquals(Apdus.readBinary(4), request);
        assertPcscFailure("SCardDisconnect failed with code " + PcscTexts.INVALID_HANDLE,
                () -> VelkSCard.SCardDisconnect(card, VelkSCard.SCARD_LEAVE_CARD));
        int[] active = {9};
        assertPcscFailure("SCardReconnect failed with code " + PcscTexts.INVALID_HANDLE,
                () -> VelkSCard.SCardReconnect(card, VelkSCard.SCARD_SHARE_SHARED,
                        VelkSCard.SCARD_PROTOCOL_ANY, VelkSCard.SCARD_LEAVE_CARD, active));
        assertArrayEquals(new int[] {9}, active);
        int[] state = {8};
        assertPcscFailure("SCardStatus failed with code " + PcscTexts.INVALID_HANDLE,
                () -> VelkSCard.SCardStatus(card, state));
        assertArrayEquals(new int[] {8}, state);
        assertPcscFailure("SCardBeginTransaction failed with code " + PcscTexts.INVALID_HANDLE,
                () -> VelkSCard.SCardBeginTransaction(card));
        assertPcscFailure("SCardGetAttr failed with code " + PcscTexts.INVALID_HANDLE,
                () -> VelkSCard.SCardGetAttr(card, VelkSCard.TAG_IFD_ATR));
    }

    @Test
    void aReleasedContextIsRefusedByPcsc() throws Exception {
        long released = Pcsc.establish();
        VelkSCard.SCardReleaseContext(released);
        assertPcscFailure("SCardReleaseContext failed with code " + PcscTexts.INVALID_HANDLE,
                () -> VelkSCard.SCardReleaseContext(released));
        assertPcscFailure(
                "SCardListReaders first call failed with code " + PcscTexts.INVALID_HANDLE,
                () -> VelkSCard.SCardListReaders(released));
        int[] active = {1};
        assertPcscFailure("SCardConnect failed with code " + PcscTexts.INVALID_HANDLE,
                () -> VelkSCard.SCardConnect(released, VirtualCard.t1().reader(),
                        VelkSCard.SCARD_SHARE_SHARED, VelkSCard.SCARD_PROTOCOL_ANY, active));
        assertArrayEquals(new int[] {1}, active);
    }
}
