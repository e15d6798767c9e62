package com.vormel.kx.tool;

/** Exit codes of the command line tool, for scripts. */
final class ExitCode {
    private ExitCode() {}

    /** The command did what was asked. */
    static final int OK = 0;
    /** PC/SC or the reader device reported an error, or an attribute could not be read. */
    static final int FAILURE = 1;
    /** Unknown command or option, malformed hex, unknown attribute name. */
    static final int USAGE = 2;
    /** No reader, the named reader does not exist, or no Wiegand reader is attached. */
    static final int NO_READER = 3;
    /** {@code wiegand --timeout} passed without a card. */
    static final int TIMEOUT = 4;
}
