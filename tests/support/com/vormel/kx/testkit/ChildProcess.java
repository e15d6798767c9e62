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

    /** How a child ended; its outputs are read as ISO-8859-1, byte for byte. */
    public record Result(int exitCode, String stdout, String stderr) {
        /** Exit status and both outputs, for a failure message. */
        public String report() {
            return "exit " + exitCode + "\n--- stdout\n" + stdout + "\n--- stderr\n" + stderr;
        }

        /** Fails unless the child exited with status 0. */
        public Result assertSucceeded(String what) {
            if (exitCode != 0) {
                throw new AssertionError(what + " failed: " + report());
            }
            return this;
        }
    }

    /** Runs the command in the directory (null: this process's) to its end. */
    public static Result run(List<String> command, Path directory)
            throws IOException, InterruptedException {
        Path out = Files.createTempFile("velk-child", ".out");
        Path err = Files.createTempFile("velk-child", ".err");
        try {
            ProcessBuilder builder = new ProcessBuilder(command).redirectOutput(out.toFile())
                    .redirectError(err.toFile())
                    .redirectInput(ProcessBuilder.Redirect.from(new File("/dev/null")));
            if (directory != null) {
                builder.directory(directory.toFile());
            }
            Process p = builder.start();
            if (!p.waitFor(TIMEOUT_SECONDS, TimeUnit.SECONDS)) {
                p.destroyForcibly();
                p.waitFor(30, TimeUnit.SECONDS);
                throw new AssertionError("not ended within " + TIMEOUT_SECONDS + " s: " + command);
            }
            return new Result(p.exitValue(), Files.readString(out, StandardCharsets.ISO_8859_1),
                    Files.readString(err, StandardCharsets.ISO_8859_1));
        } finally {
            Files.deleteIfExists(out);
            Files.deleteIfExists(err);
        }
    }
}
