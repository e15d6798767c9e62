package com.vormel.kx.platform.velksmartcard.tests;

import java.io.BufferedReader;
import java.io.IOException;
import java.io.InputStreamReader;
import java.io.OutputStream;
import java.net.InetSocketAddress;
import java.net.Socket;
import java.nio.charset.StandardCharsets;
import java.util.concurrent.TimeUnit;

/**
 * What the fault suites do to the stack beyond Stack: crash and restart its pcscd through the
 * fixture (with-pcscd.sh pcscd-kill/-start), and move the card of reader 2.
 */
final class StackControl {
    private static final long TIMEOUT_SECONDS = 180;

    private StackControl() {}

    static void killPcscd() throws IOException, InterruptedException {
        run("pcscd-kill");
    }

    /** Starts pcscd again and returns once it serves both readers with their cards back in. */
    static void startPcscd() throws IOException, InterruptedException {
        run("pcscd-start");
    }

    private static void run(String command) throws IOException, InterruptedException {
        String ctl = System.getenv("VELK_STACK_CTL");
        if (ctl == null) {
            throw new AssertionError(
                    "VELK_STACK_CTL is unset: run this suite through with-pcscd.sh");
        }
        Process p = new ProcessBuilder(ctl, command).inheritIO()
                .redirectInput(ProcessBuilder.Redirect.from(new java.io.File("/dev/null")))
                .start();
        if (!p.waitFor(TIMEOUT_SECONDS, TimeUnit.SECONDS)) {
            p.destroyForcibly();
            throw new AssertionError(command + " did not finish in " + TIMEOUT_SECONDS + " s");
        }
        if (p.exitValue() != 0) {
            throw new AssertionError(command + " failed with status " + p.exitValue());
        }
    }

    /** One command on the control channel of reader 2's card; its one-line reply. */
    static String card2(String command) throws IOException {
        String endpoint = System.getenv("VELK_VCARD2_CONTROL");
        if (endpoint == null || endpoint.isEmpty()) {
            throw new AssertionError("reader 2 has no card: run with-pcscd.sh with --card2");
        }
        String[] parts = endpoint.split(":");
        try (Socket s = new Socket()) {
            s.connect(new InetSocketAddress(parts[0], Integer.parseInt(parts[1])), 10_000);
            s.setSoTimeout((int) Stack.PATIENCE_MS);
            OutputStream out = s.getOutputStream();
            out.write((command + "\n").getBytes(StandardCharsets.US_ASCII));
            out.flush();
            return new BufferedReader(
                    new InputStreamReader(s.getInputStream(), StandardCharsets.US_ASCII))
                    .readLine();
        }
    }
}
