package com.vormel.kx.platform.velksmartcard.tests;

import static com.vormel.kx.testkit.Failures.assertFatal;
import static com.vormel.kx.testkit.Failures.assertPcscFailure;
import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNotNull;
import static org.junit.jupiter.api.Assertions.assertNotSame;

import com.vormel.kx.platform.velksmartcard.VelkSCard;
import com.vormel.kx.testkit.Apdus;
import com.vormel.kx.testkit.PcscTexts;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.Timeout;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.ValueSource;

/**
 * Everything that can be seen with no resource manager reachable: the process runs with
 * PCSCLITE_CSOCK_NAME pointing at a socket that does not exist, so no context can be had and
 * every handle is one that PC/SC never issued. The bridge must report each call as an
 * exception, never crash, and never write an array it was only meant to read.
 */
@Timeout(60)
class NoDaemonTest {
    // Handles PC/SC never issued, including ones whose low half has bit 31 set and one whose
    // high half is not the sign extension of its low half.
    private static final long[] NEVER_ISSUED = {0L, 1L, 0x7FFFFFFFL, -2L, 0x80000000L,
        0x1234567800000001L};

    @ParameterizedTest
    @ValueSource(ints = {VelkSCard.SCARD_SCOPE_USER, VelkSCard.SCARD_SCOPE_SYSTEM})
    void establishContextWithoutDaemonReportsNoService(int scope) {
        assertPcscFailure(
                "SCardEstablishContext failed with code " + PcscTexts.NO_SERVICE,
                () -> VelkSCard.SCardEstablishContext(scope));
    }

    @Test
    void contextCallsOnNeverIssuedContextsReportInvalidHandle() {
        for (long context : NEVER_ISSUED) {
            assertPcscFailure(
                    "SCardReleaseContext failed with code " + PcscTexts.INVALID_HANDLE,
                    () -> VelkSCard.SCardReleaseContext(context));
            assertPcscFailure(
                    "SCardListReaders first call failed with code " + PcscTexts.INVALID_HANDLE,
                    () -> VelkSCard.SCardListReaders(context));
            int[] active = {11, 12, 13};
            assertPcscFailure(
                    "SCardConnect failed with code " + PcscTexts.INVALID_HANDLE,
                    () -> VelkSCard.SCardConnect(context, "any reader",
                            VelkSCard.SCARD_SHARE_SHARED, VelkSCard.SCARD_PROTOCOL_ANY, active));
            assertArrayEquals(new int[] {11, 12, 13}, active, "a failed connect writes nothing");
        }
    }

    @Test
    void cardCallsOnNeverIssuedHandlesReportInvalidHandle() {
        for (long card : NEVER_ISSUED) {
            int[] active = {21, 22};
            assertPcscFailure("SCardReconnect failed with code " + PcscTexts.INVALID_HANDLE,
                    () -> VelkSCard.SCardReconnect(card, VelkSCard.SCARD_SHARE_SHARED,
                            VelkSCard.SCARD_PROTOCOL_ANY, VelkSCard.SCARD_LEAVE_CARD, active));
            assertArrayEquals(new int[] {21, 22}, active);

            assertPcscFailure("SCardDisconnect failed with code " + PcscTexts.INVALID_HANDLE,
                    () -> VelkSCard.SCardDisconnect(card, VelkSCard.SCARD_LEAVE_CARD));
            assertPcscFailure(
                    "SCardBeginTransaction failed with code " + PcscTexts.INVALID_HANDLE,
                    () -> VelkSCard.SCardBeginTransaction(card));
            assertPcscFailure("SCardEndTransaction failed with code " + PcscTexts.INVALID_HANDLE,
                    () -> VelkSCard.SCardEndTransaction(card, VelkSCard.SCARD_LEAVE_CARD));

            int[] state = {31, 32};
            assertPcscFailure("SCardStatus failed with code " + PcscTexts.INVALID_HANDLE,
                    () -> VelkSCard.SCardStatus(card, state));
            assertArrayEquals(new int[] {31, 32}, state, "a failed status writes nothing");

            byte[] select = Apdus.selectFile();
            assertPcscFailure("SCardTransmit failed with code " + PcscTexts.INVALID_HANDLE,
                    () -> VelkSCard.SCardTransmit(card, VelkSCard.SCARD_PROTOCOL_T1, select));
            assertArrayEquals(Apdus.selectFile(), select, "the request is never written");

            assertPcscFailure("SCardGetAttr failed with code " + PcscTexts.INVALID_HANDLE,
                    () -> VelkSCard.SCardGetAttr(card, VelkSCard.SCARD_ATTR_VENDOR_NAME));
        }
    }

    @Test
    void statusChangeOnNeverIssuedContextReportsInvalidHandle() {
        int[] states = {VelkSCard.SCARD_STATE_UNAWARE};
        assertPcscFailure("SCardGetStatusChange failed with code " + PcscTexts.INVALID_HANDLE,
                () -> VelkSCard.SCardGetStatusChange(
                        0x2345L, 0, states, new String[] {"reader"}));
        assertArrayEquals(new int[] {VelkSCard.SCARD_STATE_UNAWARE}, states);
    }

    @Test
    void statusChangeWithNoReadersIsAnsweredByPcsc() throws Exception {
        // PC/SC answers a count of 0 at once, before it looks at the context.
        int[] none = new int[0];
        int[] result = VelkSCard.SCardGetStatusChange(0x2345L, 0, none, new String[0]);
        assertNotNull(result);
        assertNotSame(none, result, "a success gives a new array");
        assertEquals(0, result.length);
    }

    @ParameterizedTest
    @ValueSource(ints = {0, 3, 4, -1, Integer.MIN_VALUE})
    void transmitRefusesIllegalProtocolBeforeTouchingTheRequest(int protocol) {
        assertFatal("illegal protocol " + protocol, 630,
                () -> VelkSCard.SCardTransmit(1L, protocol, null));
        byte[] request = Apdus.selectFile();
        assertFatal("illegal protocol " + protocol, 630,
                () -> VelkSCard.SCardTransmit(1L, protocol, request));
        assertArrayEquals(Apdus.selectFile(), request);
    }

    @Test
    void transmitRefusesNullRequest() {
        assertFatal("request=NULL", 1060,
                () -> VelkSCard.SCardTransmit(1L, VelkSCard.SCARD_PROTOCOL_T0, null));
    }

    @Test
    void connectRefusesUnusableActiveProtocolArrayBeforeConnecting() {
        assertFatal("activeProtocol=NULL", 1020, () -> VelkSCard.SCardConnect(1L, "r",
                VelkSCard.SCARD_SHARE_SHARED, VelkSCard.SCARD_PROTOCOL_ANY, null));
        assertFatal("activeProtocol size = 0", 1021, () -> VelkSCard.SCardConnect(1L, "r",
                VelkSCard.SCARD_SHARE_SHARED, VelkSCard.SCARD_PROTOCOL_ANY, new int[0]));
        assertFatal("activeProtocol=NULL", 1020, () -> VelkSCard.SCardConnect(1L, null,
                VelkSCard.SCARD_SHARE_SHARED, VelkSCard.SCARD_PROTOCOL_ANY, null));
    }

    @Test
    void connectWithNullReaderNameReachesPcsc() {
        int[] active = {5};
        // PC/SC looks at the name before the context.
        assertPcscFailure("SCardConnect failed with code " + PcscTexts.UNKNOWN_READER,
                () -> VelkSCard.SCardConnect(1L, null, VelkSCard.SCARD_SHARE_SHARED,
                        VelkSCard.SCARD_PROTOCOL_ANY, active));
        assertArrayEquals(new int[] {5}, active);
    }

    @Test
    void reconnectRefusesNullActiveProtocolArray() {
        assertFatal("activeProtocol=NULL", 1030, () -> VelkSCard.SCardReconnect(1L,
                VelkSCard.SCARD_SHARE_SHARED, VelkSCard.SCARD_PROTOCOL_ANY,
                VelkSCard.SCARD_LEAVE_CARD, null));
    }

    @Test
    void statusRefusesNullStateArray() {
        assertFatal("stateArray=NULL", 1050, () -> VelkSCard.SCardStatus(1L, null));
    }

    @Test
    void statusChangeRefusesUnusableArraysWithoutWritingThem() {
        int[] two = {1, 2};
        assertFatal("readerCurrentStateArray size = 2. readerNameArray size = 3", 380,
                () -> VelkSCard.SCardGetStatusChange(
                        1L, 0, two, new String[] {"a", "b", "c"}));
        assertFatal("readerCurrentStateArray size = 0. readerNameArray size = 1", 380,
                () -> VelkSCard.SCardGetStatusChange(1L, 0, new int[0], new String[] {"a"}));
        assertFatal("s=NULL", 408,
                () -> VelkSCard.SCardGetStatusChange(1L, 0, two, new String[] {"a", null}));
        assertFatal("readerCurrentStateArray=NULL", 1040,
                () -> VelkSCard.SCardGetStatusChange(1L, 0, null, new String[] {"a"}));
        assertFatal("readerNameArray=NULL", 1041,
                () -> VelkSCard.SCardGetStatusChange(1L, 0, two, null));
        assertFatal("readerCurrentStateArray=NULL", 1040,
                () -> VelkSCard.SCardGetStatusChange(1L, 0, null, null));
        assertArrayEquals(new int[] {1, 2}, two);
    }
}
