package com.vormel.kx.tool;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.vormel.kx.testkit.Patience;
import com.vormel.kx.testkit.VirtualCard;
import java.io.ByteArrayOutputStream;
import java.io.PrintStream;
import java.nio.charset.StandardCharsets;
import java.util.Arrays;
import java.util.HexFormat;
import java.util.List;

/** Runs the tool in this VM with captured output. */
final class Cli {
    /** Local time that leads every event line. */
    static final String STAMP = "\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3}  ";

    private Cli() {}

    /** The card's ATR as the tool prints it. */
    static String atr(VirtualCard card) {
        return HexFormat.ofDelimiter(" ").withUpperCase().formatHex(card.atr());
    }

    /** The outcome of one command line. */
    record Result(int code, String out, String err) {
        List<String> outLines() {
            return out.isEmpty() ? List.of() : Arrays.asList(out.split("\n"));
        }

        /** A refused command line: one line on stderr that names the problem, nothing else. */
        void assertRefused(int expectedCode, String expectedText) {
            assertEquals(expectedCode, code, "exit code; stderr: " + err);
            assertEquals("", out, "nothing on stdout");
            assertEquals(1, err.split("\n").length, "exactly one line: " + err);
            assertTrue(err.contains(expectedText), "message names the problem: " + err);
        }
    }

    /** A command that runs on its own thread until stopped. */
    static final class Running {
        private final ByteArrayOutputStream out = new ByteArrayOutputStream();
        private final ByteArrayOutputStream err = new ByteArrayOutputStream();
        private final StopSignal stop = new StopSignal();
        private final Thread thread;
        private volatile int code = -1;

        Running(String... args) {
            PrintStream o = new PrintStream(out, true, StandardCharsets.UTF_8);
            PrintStream e = new PrintStream(err, true, StandardCharsets.UTF_8);
            thread = new Thread(() -> code = Main.run(args, o, e, stop), "cli-" + args[0]);
            thread.start();
        }

        String out() {
            return out.toString(StandardCharsets.UTF_8);
        }

        /** Waits until stdout has a line matching the regular expression; returns the line. */
        String awaitLine(String regex) throws Exception {
            return Patience.await(() -> "no line matching " + regex + " in:\n" + out()
                    + "\nstderr:\n" + err.toString(StandardCharsets.UTF_8), () -> {
                        boolean ended = !thread.isAlive();
                        for (String line : out().split("\n")) {
                            if (line.matches(regex)) {
                                return line;
                            }
                        }
                        if (ended) {
                            throw new AssertionError("the command ended (" + code
                                    + ") without a line matching " + regex + " in:\n" + out());
                        }
                        return null;
                    });
        }

        /** Signals stop, as the interrupt handler does, and returns the exit code. */
        int stop() throws InterruptedException {
            stop.stop();
            thread.join(Patience.MILLIS);
            assertTrue(!thread.isAlive(), "the command ended after the stop signal");
            return code;
        }
    }

    static Result run(String... args) {
        ByteArrayOutputStream out = new ByteArrayOutputStream();
        ByteArrayOutputStream err = new ByteArrayOutputStream();
        int code = Main.run(args, new PrintStream(out, true, StandardCharsets.UTF_8),
                new PrintStream(err, true, StandardCharsets.UTF_8), new StopSignal());
        return new Result(code, out.toString(StandardCharsets.UTF_8),
                err.toString(StandardCharsets.UTF_8));
    }
}
