package com.vormel.kx.testkit;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.List;
import java.util.concurrent.atomic.AtomicReference;

/**
 * Drives the scripted hidapi stand-in that the VM loads in place of libhidapi-hidraw: the script
 * it reads at each open (VELK_FAKE_HIDAPI_SCRIPT) and the log of what it was asked
 * (VELK_FAKE_HIDAPI_LOG), both described in tests/fakes/hidapi/fake_hidapi.h.
 */
public final class HidapiStandIn {
    private HidapiStandIn() {}

    /** Steps for the next open ("frame 18 01 02 03", "timeout", "absent", ...); empties the log. */
    public static void script(String... steps) throws IOException {
        Files.writeString(file("VELK_FAKE_HIDAPI_SCRIPT"), String.join("\n", steps) + "\n",
                StandardCharsets.US_ASCII);
        Files.writeString(file("VELK_FAKE_HIDAPI_LOG"), "", StandardCharsets.US_ASCII);
    }

    /** The events since the last script, one a line ("read 5 1000", "close", ...). */
    public static List<String> log() throws IOException {
        return Files.readAllLines(file("VELK_FAKE_HIDAPI_LOG"), StandardCharsets.US_ASCII);
    }

    /** How often the log has exactly this line. */
    public static long count(String line) throws IOException {
        return log().stream().filter(line::equals).count();
    }

    /** Waits until the stand-in has logged the line. */
    public static void awaitLine(String line) throws Exception {
        AtomicReference<List<String>> last = new AtomicReference<>(List.of());
        Patience.await(() -> "the stand-in never logged \"" + line + "\": " + last.get(),
                () -> {
                    last.set(log());
                    return last.get().contains(line) ? line : null;
                });
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
