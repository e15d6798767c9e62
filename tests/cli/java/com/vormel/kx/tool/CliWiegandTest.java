package com.vormel.kx.tool;

import static com.vormel.kx.testkit.HidapiStandIn.log;
import static com.vormel.kx.testkit.HidapiStandIn.script;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.IOException;
import java.util.List;
import org.junit.jupiter.api.Test;

/**
 * {@code wiegand} against the hidapi stand-in, which the VM loads in place of libhidapi-hidraw
 * and which reads its script at every open.
 */
class CliWiegandTest {
    @Test
    void eachCardShowsItsBytesFacilityCodeAndNumber() throws IOException {
        // A report of another kind between the reads is not a card.
        script("frame 18 2A 01 C8", "timeout", "frame 07 01 02 03", "frame 18 00 FF FE",
                "frame 18 FF 00 01", "frame 18 11 11 11");
        Cli.Result r = Cli.run("wiegand", "--count", "3");
        assertEquals(0, r.code(), r.err());
        List<String> lines = r.outLines();
        assertEquals(3, lines.size(), r.out());
        assertTrue(lines.get(0).matches(Cli.STAMP + "card 2A 01 C8  facility 42  number 456"),
                lines.get(0));
        assertTrue(lines.get(1).matches(Cli.STAMP + "card 00 FF FE  facility 0  number 65534"),
                lines.get(1));
        assertTrue(lines.get(2).matches(Cli.STAMP + "card FF 00 01  facility 255  number 1"),
                lines.get(2));
        assertEquals("close", log().get(log().size() - 1), "the reader is closed at the end");
    }

    @Test
    void anUnpluggedReaderEndsTheCommandWithAnError() throws IOException {
        script("frame 18 01 02 03", "error");
        Cli.Result r = Cli.run("wiegand");
        assertEquals(1, r.code());
        assertTrue(r.out().matches(Cli.STAMP + "card 01 02 03  facility 1  number 515\n"), r.out());
        assertTrue(r.err().endsWith("velk wiegand: the reader failed or was unplugged\n"), r.err());
        assertEquals("close", log().get(log().size() - 1));
    }

    @Test
    void noReaderAttachedIsAClearMessage() throws IOException {
        script("absent");
        Cli.run("wiegand").assertRefused(3, "velk wiegand: no Wiegand reader attached");
    }

    @Test
    void theTimeoutCountsFromTheLastCard() throws IOException {
        script("frame 18 01 02 03");
        Cli.Result r = Cli.run("wiegand", "--timeout", "300");
        assertEquals(4, r.code());
        assertEquals(1, r.outLines().size(), r.out());
        assertTrue(r.err().endsWith("velk wiegand: no card within 300 ms\n"), r.err());
    }

    @Test
    void aStopClosesTheReaderWithinOneReceive() throws Exception {
        script("frame 18 01 02 03");
        Cli.Running wiegand = new Cli.Running("wiegand");
        wiegand.awaitLine(Cli.STAMP + "card 01 02 03 .*");
        assertEquals(0, wiegand.stop());
        List<String> log = log();
        assertEquals("close", log.get(log.size() - 1));
        assertTrue(log.stream().filter(l -> l.startsWith("read ")).allMatch(
                l -> l.equals("read 5 " + WiegandCommand.SLICE_MILLIS)),
                "only bounded receives, so an interrupt is noticed: " + log);
    }
}
