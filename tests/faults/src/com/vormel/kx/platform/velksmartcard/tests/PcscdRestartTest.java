package com.vormel.kx.platform.velksmartcard.tests;

import static com.vormel.kx.testkit.Failures.assertPcscFailure;
import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.vormel.kx.platform.velksmartcard.VelkCardException;
import com.vormel.kx.platform.velksmartcard.VelkSCard;
import com.vormel.kx.testkit.Apdus;
import com.vormel.kx.testkit.Fixture;
import com.vormel.kx.testkit.Pcsc;
import com.vormel.kx.testkit.PcscTexts;
import com.vormel.kx.testkit.VirtualCard;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.Timeout;
import org.junit.jupiter.api.function.Executable;

/**
 * pcscd crashes while an application holds a context and a connection: every call reports a
 * PC/SC code's text, and once the daemon is back a new context works. This is the recovery the
 * README shows callers.
 */
@Timeout(600)
class PcscdRestartTest {
    private static String assertPcscText(String call, Executable body) {
        VelkCardException e = assertThrows(VelkCardException.class, body);
        assertTrue(PcscTexts.anyFailureOf(call).matcher(e.getMessage()).matches(), e.getMessage());
        assertNull(e.getCause());
        System.out.println("with pcscd gone: " + e.getMessage());
        return e.getMessage();
    }

    @Test
    void callsReportTheLostDaemonAndANewContextWorksOnceItIsBack() throws Exception {
        long context = Pcsc.establish();
        long card = Pcsc.connect(context, VirtualCard.t1().reader());
        byte[] ok = {(byte) 0x90, 0x00};
        assertArrayEquals(ok, transmit(card));

        Fixture.pcscd("pcscd-kill");
        String[] names = {VirtualCard.t1().reader()};
        assertPcscText("SCardTransmit", () -> transmit(card));
        assertPcscText("SCardStatus", () -> VelkSCard.SCardStatus(card, new int[1]));
        assertPcscText("SCardListReaders first call",
                () -> VelkSCard.SCardListReaders(context));
        assertPcscText("SCardGetStatusChange",
                () -> VelkSCard.SCardGetStatusChange(context, 0, new int[1], names));
        assertPcscText("SCardBeginTransaction", () -> VelkSCard.SCardBeginTransaction(card));
        assertPcscFailure("SCardEstablishContext failed with code " + PcscTexts.NO_SERVICE,
                () -> VelkSCard.SCardEstablishContext(VelkSCard.SCARD_SCOPE_SYSTEM));

        Fixture.pcscd("pcscd-start"); // returns once both cards are back
        // The old handles stay dead: their calls fail with a PC/SC text too.
        assertPcscText("SCardTransmit", () -> transmit(card));
        // Recovery: give up the dead context (its release may fail as well), start afresh.
        try {
            VelkSCard.SCardReleaseContext(context);
        } catch (VelkCardException e) {
            assertTrue(PcscTexts.anyFailureOf("SCardReleaseContext").matcher(e.getMessage())
                    .matches(), e.getMessage());
        }
        long fresh = Pcsc.establish();
        try {
            assertEquals(2, VelkSCard.SCardListReaders(fresh).length);
            long again = Pcsc.connect(fresh, VirtualCard.t1().reader());
            assertArrayEquals(ok, transmit(again));
            VelkSCard.SCardDisconnect(again, VelkSCard.SCARD_LEAVE_CARD);
        } finally {
            VelkSCard.SCardReleaseContext(fresh);
        }
    }

    private static byte[] transmit(long card) throws VelkCardException {
        return VelkSCard.SCardTransmit(card, VelkSCard.SCARD_PROTOCOL_T1, Apdus.selectByName());
    }
}
