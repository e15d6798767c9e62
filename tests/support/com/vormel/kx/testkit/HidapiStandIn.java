package com.vormel.kx.testkit;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.List;

/**
 * Drives the scripted hidapi stand-in that the VM loads in place of libhidapi-hidraw: the script
 * it reads at each open (VELK_FAKE_HIDAPI_SCRIPT) and the log of what it was asked
 * (VELK_FAKE_HIDAPI_LOG). The format of both is in tests/reader/fake_hidapi/fake_hidapi.h.
 */
public final class HidapiStandIn {
    private HidapiStandIn() {}

    /**
     * Sets the steps for the next open and empties the log.
     *
     * @param steps script lines, for example "frame 18 01 02 03", "timeout", "absent"
     * @throws IOException when the files cannot be written
     */
    public static void script(String... steps) throws IOException {
        Files.writeString(file("VELK_FAKE_HIDAPI_SCRIPT"), String.join("\n", steps) + "\n",
                StandardCharsets.US_ASCII);
        Files.writeString(file("VELK_FAKE_HIDAPI_LOG"), "", StandardCharsets.US_ASCII);
    }

    /**
     * The stand-in's log since the last script.
     *
     * @return one event a line, for example "read 5 1000", "close"
     * @throws IOException when the log cannot be read
     */
    public static List<String> log() throws IOException {
        return Files.readAllLines(file("VELK_FAKE_HIDAPI_LOG"), StandardCharsets.US_ASCII);
    }

    /**
     * How often the log has exactly this line.
     *
     * @param line the event
     * @return its count
     * @throws IOException when the log cannot be read
     */
    public static long count(String line) throws IOException {
        return log().stream().filter(line::equals).count();
    }

    /**
     * Waits until the stand-in has logged the line.
     *
     * @param line the event
     * @throws Exception when the log cannot be read, or an AssertionError once patience ends
     */
    public static void awaitLine(String line) throws Exception {
        Patience.await(() -> "the stand-in never logged \"" + line + "\": " + logForReport(),
                () -> log().contains(line) ? line : null);
    }

    private static String logForReport() {
        try {
            return log().toString();
        } catch (IOException e) {
            return e.toString();
        }
    }

    private static Path file(String variable) {
        String path = System.getenv(variable);
        if (path == null) {
            throw new AssertionError(variable + " is unset: run this with the hidapi stand-in"
                    + " (see tests/reader/CMakeLists.txt)");
        }
        return Path.of(path);
    }
}
