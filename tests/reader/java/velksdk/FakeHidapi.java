package velksdk;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.List;

/** Drives the hidapi stand-in that the VM loads in place of libhidapi-hidraw. */
final class FakeHidapi {
    private static final Path SCRIPT = Path.of(System.getenv("VELK_FAKE_HIDAPI_SCRIPT"));
    private static final Path LOG = Path.of(System.getenv("VELK_FAKE_HIDAPI_LOG"));

    private FakeHidapi() {}

    /** Steps for the next open, and an empty event log. */
    static void script(String... steps) throws IOException {
        Files.writeString(SCRIPT, String.join("\n", steps) + "\n", StandardCharsets.US_ASCII);
        Files.writeString(LOG, "", StandardCharsets.US_ASCII);
    }

    static List<String> log() throws IOException {
        return Files.readAllLines(LOG, StandardCharsets.US_ASCII);
    }

    static long count(String line) throws IOException {
        return log().stream().filter(line::equals).count();
    }

    /** Waits until the stand-in has logged the line, for up to a minute (slow emulators). */
    static void awaitLine(String line) throws IOException, InterruptedException {
        long deadline = System.nanoTime() + 60_000_000_000L;
        while (!log().contains(line)) {
            if (System.nanoTime() > deadline) {
                throw new AssertionError("stand-in never logged \"" + line + "\": " + log());
            }
            Thread.sleep(10);
        }
    }
}
