package com.vormel.kx.tool;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNotNull;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.BufferedReader;
import java.io.ByteArrayOutputStream;
import java.io.IOException;
import java.io.InputStreamReader;
import java.io.OutputStream;
import java.io.PrintStream;
import java.net.InetSocketAddress;
import java.net.Socket;
import java.nio.charset.StandardCharsets;
import java.util.Arrays;
import java.util.List;

/** Runs the tool in this VM with captured output, and drives the private PC/SC stack. */
final class Cli {
    /** Upper bound of every wait for the stack or a command; never reached when healthy. */
    static final long PATIENCE_MS = 60_000;
    /** Local time that leads every event line. */
    static final String STAMP = "\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3}  ";

    static final String T1_ATR = "3B 88 01 56 45 4C 4B 43 52 44 31 F9";
    static final String T0_ATR = "3B 08 56 45 4C 4B 43 52 44 30";

    private Cli() {}

    /** The outcome of one command line. */
    static final class Result {
        final int code;
        final String out;
        final String err;

        Result(int code, String out, String err) {
            this.code = code;
            this.out = out;
            this.err = err;
        }

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
        String awaitLine(String regex) throws InterruptedException {
            long deadline = System.currentTimeMillis() + PATIENCE_MS;
            while (true) {
                for (String line : out().split("\n")) {
                    if (line.matches(regex)) {
                        return line;
                    }
                }
                if (!thread.isAlive() || System.currentTimeMillis() > deadline) {
                    throw new AssertionError("no line matching " + regex + " in:\n" + out()
                            + "\nstderr:\n" + err.toString(StandardCharsets.UTF_8));
                }
                Thread.sleep(20);
            }
        }

        /** Signals stop, as the interrupt handler does, and returns the exit code. */
        int stop() throws InterruptedException {
            stop.stop();
            thread.join(PATIENCE_MS);
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

    static String t1Reader() {
        return env("VELK_READER");
    }

    static String t0Reader() {
        return env("VELK_READER2");
    }

    static String env(String name) {
        String value = System.getenv(name);
        assertNotNull(value, name + " is unset: run this suite through with-pcscd.sh");
        return value;
    }

    /** One command on the T=1 card's control channel; its one-line reply. */
    static String control(String command) throws IOException {
        String[] endpoint = env("VELK_VCARD_CONTROL").split(":");
        try (Socket s = new Socket()) {
            s.connect(new InetSocketAddress(endpoint[0], Integer.parseInt(endpoint[1])), 10_000);
            s.setSoTimeout((int) PATIENCE_MS);
            OutputStream out = s.getOutputStream();
            out.write((command + "\n").getBytes(StandardCharsets.US_ASCII));
            out.flush();
            return new BufferedReader(
                    new InputStreamReader(s.getInputStream(), StandardCharsets.US_ASCII))
                    .readLine();
        }
    }
}
