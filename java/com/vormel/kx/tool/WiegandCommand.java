package com.vormel.kx.tool;

import java.util.List;
import velksdk.VelkReader;

/** {@code wiegand}: card reads of the Wiegand-26 USB HID reader. */
final class WiegandCommand implements Command {
    /** Longest single receive; bounds how long an interrupt takes to close the reader. */
    static final int SLICE_MILLIS = 250;
    /** Longest --timeout whose nanoseconds still fit the clock's arithmetic (292 years). */
    static final long MAX_TIMEOUT_MILLIS = Long.MAX_VALUE / 1_000_000;

    @Override
    public String name() {
        return "wiegand";
    }

    @Override
    public String summary() {
        return "read cards from the Wiegand-26 USB HID reader";
    }

    @Override
    public String help() {
        return String.join("\n",
                "usage: velk wiegand [--timeout MS] [--count N]",
                "",
                "Opens the first Wiegand-26 HID reader (USB 0xFFFF:0x0001) and prints one",
                "time-stamped line per card: the three data bytes, the 8-bit facility code",
                "(first byte) and the 16-bit card number (big-endian, last two bytes):",
                "  2025-01-31 10:15:02.118  card 2A 01 C8  facility 42  number 456",
                "It runs until interrupted (Ctrl-C closes the reader), N cards were read,",
                "or MS milliseconds pass without a card.",
                "",
                "  --timeout MS   give up when no card arrives for MS milliseconds",
                "  --count N      stop after N cards",
                "",
                "Exit codes: 0 N cards read, 130 interrupted (Ctrl-C), 1 the reader failed",
                "or was unplugged, 2 bad input, 3 no reader attached, 4 timeout.");
    }

    @Override
    public int run(List<String> args, Io io) throws CliException {
        Args parsed = Args.parse(args, Args.names(), Args.names("--timeout", "--count"));
        if (!parsed.operands().isEmpty()) {
            throw CliException.usage("wiegand takes no operands");
        }
        long timeout = parsed.number("--timeout", -1, 0, MAX_TIMEOUT_MILLIS);
        long count = parsed.number("--count", -1, 1, Long.MAX_VALUE);
        try (VelkReader reader = VelkReader.open()) {
            if (reader == null) {
                throw CliException.noReader(
                        "no Wiegand reader attached (USB 0xFFFF:0x0001), or it cannot be opened");
            }
            io.err.println("reading cards (Ctrl-C to stop)");
            return readCards(reader, timeout, count, io);
        }
    }

    private static int readCards(VelkReader reader, long timeout, long count, Io io)
            throws CliException {
        byte[] data = new byte[3];
        long read = 0;
        // Elapsed time against the timeout, never a deadline: nanoTime may be near overflow.
        long timeoutNanos = timeout < 0 ? Long.MAX_VALUE : timeout * 1_000_000;
        long since = System.nanoTime();
        while (!io.stop.stopped() && read != count) {
            long left = (timeoutNanos - (System.nanoTime() - since)) / 1_000_000;
            if (left < 0) {
                throw new CliException(ExitCode.TIMEOUT, "no card within " + timeout + " ms");
            }
            int rc = reader.receive(data, (int) Math.min(left, SLICE_MILLIS));
            if (rc == 3) {
                io.event(describe(data));
                read++;
                since = System.nanoTime();
            } else if (rc < 0 && !io.stop.stopped()) {
                throw new CliException(ExitCode.FAILURE, "the reader failed or was unplugged");
            }
        }
        return ExitCode.OK;
    }

    /** "card 2A 01 C8  facility 42  number 456". */
    static String describe(byte[] data) {
        int facility = data[0] & 0xFF;
        int number = (data[1] & 0xFF) << 8 | (data[2] & 0xFF);
        return "card " + Hex.format(data, 0, 3) + "  facility " + facility + "  number " + number;
    }
}
