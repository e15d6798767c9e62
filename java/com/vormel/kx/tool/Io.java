package com.vormel.kx.tool;

import java.io.PrintStream;
import java.time.LocalDateTime;
import java.time.format.DateTimeFormatter;

/** Where a command writes, and the signal that asks a long-running command to stop. */
final class Io {
    private static final DateTimeFormatter STAMP =
            DateTimeFormatter.ofPattern("yyyy-MM-dd HH:mm:ss.SSS");

    final PrintStream out;
    final PrintStream err;
    final StopSignal stop;

    Io(PrintStream out, PrintStream err, StopSignal stop) {
        this.out = out;
        this.err = err;
        this.stop = stop;
    }

    /** Prints one event line, led by the local time. */
    void event(String text) {
        out.println(LocalDateTime.now().format(STAMP) + "  " + text);
        out.flush();
    }
}
