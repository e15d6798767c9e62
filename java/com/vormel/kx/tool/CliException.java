package com.vormel.kx.tool;

/** A failure that ends a command with a one-line message and a given exit code. */
final class CliException extends Exception {
    private static final long serialVersionUID = 1L;

    private final int exitCode;

    CliException(int exitCode, String message) {
        super(message);
        this.exitCode = exitCode;
    }

    int exitCode() {
        return exitCode;
    }

    /** Bad command line or bad input: exit code {@link ExitCode#USAGE}. */
    static CliException usage(String message) {
        return new CliException(ExitCode.USAGE, message);
    }

    /** No reader, or not the one named: exit code {@link ExitCode#NO_READER}. */
    static CliException noReader(String message) {
        return new CliException(ExitCode.NO_READER, message);
    }
}
