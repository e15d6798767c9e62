package com.vormel.kx.tool;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.vormel.kx.platform.velksmartcard.VelkSCard;
import com.vormel.kx.testkit.VirtualCard;
import java.util.List;
import java.util.regex.Pattern;
import org.junit.jupiter.api.Test;

/**
 * The PC/SC commands against the private stack: the T=1 virtual card in the first reader, the
 * T=0 one in the second.
 */
class CliPcscTest {
    private static final VirtualCard T1 = VirtualCard.t1();
    private static final VirtualCard T0 = VirtualCard.t0();

    @Test
    void listShowsEachReaderWithItsCardAndAtr() {
        Cli.Result r = Cli.run("list");
        assertEquals(0, r.code(), r.err());
        assertEquals(List.of(
                "0: " + T1.reader() + ": card present, ATR " + Cli.atr(T1),
                "1: " + T0.reader() + ": card present, ATR " + Cli.atr(T0)), r.outLines());
    }

    @Test
    void listShowsACardThatAnotherProgramHoldsExclusivelyAsInUse() throws Exception {
        long context = VelkSCard.SCardEstablishContext(VelkSCard.SCARD_SCOPE_SYSTEM);
        long card = VelkSCard.SCardConnect(context, T1.reader(), VelkSCard.SCARD_SHARE_EXCLUSIVE,
                VelkSCard.SCARD_PROTOCOL_ANY, new int[1]);
        try {
            Cli.Result r = Cli.run("list");
            assertEquals(0, r.code(), r.err());
            assertEquals("0: " + T1.reader() + ": card present, in use by another program",
                    r.outLines().get(0));
        } finally {
            VelkSCard.SCardDisconnect(card, VelkSCard.SCARD_LEAVE_CARD);
            VelkSCard.SCardReleaseContext(context);
        }
    }

    @Test
    void sendShowsCommandsResponsesAndStatusWordMeanings() {
        Cli.Result r = Cli.run("send", T1.reader(), "00A4040007A0000002471001", "00 b0 00 00 04",
                "00:CA:00:01:00", "12340000");
        assertEquals(0, r.code(), r.err());
        assertEquals(List.of(
                "connected to " + T1.reader() + " with T=1",
                "> 00 A4 04 00 07 A0 00 00 02 47 10 01",
                "< SW 90 00: success",
                "> 00 B0 00 00 04",
                "< 01 02 03 04  SW 90 00: success",
                "> 00 CA 00 01 00",
                "< SW 62 83: warning: selected file deactivated",
                "> 12 34 00 00",
                "< SW 6D 00: instruction code not supported or invalid"), r.outLines());
    }

    @Test
    void sendWithinATransactionToTheT0CardChosenByNumber() {
        Cli.Result r = Cli.run("send", "--transaction", "--protocol", "t0", "1", "00B0000002");
        assertEquals(0, r.code(), r.err());
        assertEquals(List.of(
                "connected to " + T0.reader() + " with T=0",
                "transaction begun",
                "> 00 B0 00 00 02",
                "< 0A 0B 0C 0D 0E 0F  SW 90 00: success",
                "transaction ended"), r.outLines());
    }

    @Test
    void aProtocolTheCardLacksIsTheBridgesErrorText() {
        Cli.Result r = Cli.run("send", "--protocol=t0", T1.reader(), "00B0000004");
        r.assertRefused(1, "velk send: SCardConnect failed with code SCARD_E_PROTO_MISMATCH");
    }

    @Test
    void attrReadsByNameAndByIdAndSaysWhatIsNotSupported() {
        Cli.Result r = Cli.run("attr", "0", "ifd-atr", "0x0303", "TAG_IFD_ATR");
        assertEquals(0, r.code(), r.err());
        String line = "ifd-atr (0x00000303): " + Cli.atr(T1);
        assertEquals(List.of(line, line, line), r.outLines());

        Cli.Result unsupported = Cli.run("attr", T0.reader(), "SCARD_ATTR_ATR_STRING", "ifd-atr");
        assertEquals(1, unsupported.code(), "a named attribute was not read");
        assertEquals(List.of("atr-string (0x00090303): not supported",
                "ifd-atr (0x00000303): " + Cli.atr(T0)), unsupported.outLines());

        Cli.Result all = Cli.run("attr", T1.reader());
        assertEquals(0, all.code(), "reading every attribute succeeds as a whole: " + all.err());
        assertEquals(Attributes.names().size(), all.outLines().size());
        assertTrue(all.out().contains("ifd-atr (0x00000303): " + Cli.atr(T1) + "\n"), all.out());
    }

    @Test
    void attributeValuesShowTheirTextOrNumber() throws CliException {
        byte[] text = {'A', 'C', 'S', 0};
        assertEquals("41 43 53 00  \"ACS\"",
                Attributes.render(Attributes.parse("vendor-name"), text));
        byte[] number = {0x00, 0x01, 0, 0};
        assertEquals("00 01 00 00  = 256", Attributes.render(Attributes.parse("maxinput"),
                number));
    }

    @Test
    void watchReportsRemovalAndInsertionUntilStopped() throws Exception {
        String reader = Pattern.quote(T1.reader());
        Cli.Running watch = new Cli.Running("watch");
        try {
            watch.awaitLine(Cli.STAMP + reader + ": card present");
            watch.awaitLine(Cli.STAMP + Pattern.quote(T0.reader()) + ": card present");
            T1.remove();
            watch.awaitLine(Cli.STAMP + reader + ": card removed");
            assertEquals("0: " + T1.reader() + ": no card", Cli.run("list").outLines().get(0));
            T1.insert();
            watch.awaitLine(Cli.STAMP + reader + ": card inserted");
        } finally {
            T1.insertIfRemoved();
            assertEquals(0, watch.stop());
        }
    }

    @Test
    void badInputIsOneLineAndANonZeroExit() {
        Cli.run("frobnicate").assertRefused(2, "velk: unknown command 'frobnicate'");
        Cli.run("send", T1.reader(), "00A4040G").assertRefused(2, "malformed hex in APDU 1");
        Cli.run("send", T1.reader(), "00A40400", "00B").assertRefused(2,
                "odd number of hex digits in APDU 2");
        Cli.run("send", T1.reader(), "00A4").assertRefused(2, "shorter than its 4-byte header");
        Cli.run("send", T1.reader()).assertRefused(2, "needs a reader and at least one APDU");
        Cli.run("send", "--speed", "9", T1.reader(), "00A40400").assertRefused(2,
                "unknown option '--speed'");
        Cli.run("send", "No Such Reader 00 00", "00A40400").assertRefused(3,
                "unknown reader 'No Such Reader 00 00'");
        Cli.run("attr", "7", "vendor-name").assertRefused(3, "unknown reader '7'");
        Cli.run("attr", T1.reader(), "vendor-colour").assertRefused(2,
                "unknown attribute 'vendor-colour'");
        Cli.run("list", "extra").assertRefused(2, "list takes no operands");
        Cli.run("wiegand", "--timeout", "soon").assertRefused(2, "--timeout needs a whole number");
        Cli.run("wiegand", "--timeout", String.valueOf(Long.MAX_VALUE / 1_000_000 + 1))
                .assertRefused(2, "--timeout needs a whole number");
    }

    @Test
    void helpGoesToStdoutAndSucceeds() {
        for (String command : new String[] {"list", "watch", "send", "attr", "wiegand"}) {
            Cli.Result r = Cli.run(command, "--help");
            assertEquals(0, r.code());
            assertTrue(r.out().startsWith("usage: velk " + command), r.out());
        }
        Cli.Result overview = Cli.run("--help");
        assertEquals(0, overview.code());
        assertTrue(overview.out().contains("exit codes:"), overview.out());
        assertTrue(overview.out().contains("130  interrupted (Ctrl-C)"), overview.out());
        Cli.Result version = Cli.run("--version");
        assertEquals(0, version.code());
        assertTrue(version.out().startsWith("velk"), version.out());
        assertEquals(2, Cli.run().code(), "no command is a usage error");
    }
}
