package com.vormel.kx.testkit;

import java.io.File;
import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.List;
import java.util.concurrent.TimeUnit;

/**
 * Runs a child process to its end with no input and its output captured, bounded so that a child
 * that hangs fails the test instead of the CI run.
 */
public final class ChildProcess {
    /** Upper bound of a child's run: a VM interpreted under qemu, or pcscd started again. */
    public static final long TIMEOUT_SECONDS = 300;

    private ChildProcess() {}

    /**
     * How a child ended.
     *
     * @param exitCode its exit status
     * @param stdout what it printed on standard output (ISO-8859-1, byte for byte)
     * @param stderr what it printed on standard error
     */
    public record Result(int exitCode, String stdout, String stderr) {
        /**
         * Everything about the run, for a failure message.
         *
         * @return exit status and both outputs
         */
        public String report() {
            return "exit " + exitCode + "\n--- stdout\n" + stdout + "\n--- stderr\n" + stderr;
        }

        /**
         * Fails unless the child exited with status 0.
         *
         * @param what what the child was doing
         * @return this result
         */
        public Result assertSucceeded(String what) {
            if (exitCode != 0) {
                throw new AssertionError(what + " failed: " + report());
            }
            return this;
        }
    }

    /**
     * Runs the command to its end.
     *
     * @param command the program and its arguments
     * @param directory its working directory, or null for this one's
     * @return how it ended
     * @throws IOException when it cannot be started
     * @throws InterruptedException when interrupted while waiting
     * @throws AssertionError when it runs past TIMEOUT_SECONDS (it is killed)
     */
    public static Result run(List<String> command, Path directory)
            throws IOException, InterruptedException {
        Path out = Files.createTempFile("velk-child", ".out");
        Path err = Files.createTempFile("velk-child", ".err");
        try {
            ProcessBuilder builder = new ProcessBuilder(command)
                    .redirectOutput(out.toFile())
                    .redirectError(err.toFile())
                    .redirectInput(ProcessBuilder.Redirect.from(new File("/dev/null")));
            if (directory != null) {
                builder.directory(directory.toFile());
            }
            Process p = builder.start();
            if (!p.waitFor(TIMEOUT_SECONDS, TimeUnit.SECONDS)) {
                p.destroyForcibly();
                p.waitFor(30, TimeUnit.SECONDS);
                throw new AssertionError("child did not end within " + TIMEOUT_SECONDS + " s: "
                        + command);
            }
            return new Result(p.exitValue(), Files.readString(out, StandardCharsets.ISO_8859_1),
                    Files.readString(err, StandardCharsets.ISO_8859_1));
        } finally {
            Files.deleteIfExists(out);
            Files.deleteIfExists(err);
        }
    }
}
