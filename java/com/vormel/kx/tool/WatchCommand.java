package com.vormel.kx.tool;

import com.vormel.kx.platform.velksmartcard.VelkCardException;
import com.vormel.kx.platform.velksmartcard.VelkSCard;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;

/** {@code watch}: reader and card changes, live, one time-stamped line per event. */
final class WatchCommand implements Command {
    /**
     * Longest single status wait. The bridge cannot cancel a wait, so this bounds how long an
     * interrupt takes to end the command.
     */
    static final long SLICE_MILLIS = 500;

    @Override
    public String name() {
        return "watch";
    }

    @Override
    public String summary() {
        return "follow reader and card changes until interrupted";
    }

    @Override
    public String help() {
        return String.join("\n",
                "usage: velk watch",
                "",
                "Prints the state of each reader, then one time-stamped line per change",
                "until interrupted (Ctrl-C):",
                "  2025-01-31 10:15:02.118  Virtual PCD 00 00: card removed",
                "  2025-01-31 10:15:04.530  Virtual PCD 00 00: card inserted",
                "  2025-01-31 10:15:09.004  reader added: ACS ACR38U 00 00: no card",
                "Readers coming and going are seen through \\\\?PnP?\\Notification where",
                "the daemon reports it, otherwise by listing the readers again.",
                "",
                "Exit codes: 130 interrupted (Ctrl-C), 1 PC/SC error.");
    }

    @Override
    public int run(List<String> args, Io io) throws CliException, VelkCardException {
        if (!Args.parse(args, Args.names(), Args.names()).operands().isEmpty()) {
            throw CliException.usage("watch takes no operands");
        }
        try (PcscContext context = PcscContext.establish()) {
            new Watch(context, io).run();
        }
        return ExitCode.OK;
    }

    /** The loop of one watch: the readers it follows and the state last seen of each. */
    private static final class Watch {
        private final PcscContext context;
        private final Io io;
        private final Map<String, Integer> known = new LinkedHashMap<>();
        private boolean pnp;
        private int pnpState;

        Watch(PcscContext context, Io io) {
            this.context = context;
            this.io = io;
        }

        void run() throws VelkCardException {
            int[] pnpNow = VelkSCard.SCardGetStatusChange(context.handle, 0, new int[1],
                    new String[] {VelkSCard.PNP_NOTIFICATION});
            pnp = (pnpNow[0] & VelkSCard.SCARD_STATE_UNKNOWN) == 0;
            pnpState = pnpNow[0] & ~VelkSCard.SCARD_STATE_CHANGED;
            relist(false);
            io.err.println("watching " + known.size() + " reader(s)"
                    + (pnp ? "" : "; the daemon does not report new readers, polling")
                    + " (Ctrl-C to stop)");
            boolean failedBefore = false;
            while (!io.stop.stopped()) {
                try {
                    waitOnce();
                    failedBefore = false;
                } catch (VelkCardException e) {
                    // A reader that vanished between listing and waiting fails the wait once.
                    if (failedBefore) {
                        throw e;
                    }
                    failedBefore = true;
                    relist(true);
                }
            }
        }

        private void waitOnce() throws VelkCardException {
            List<String> names = new ArrayList<>(known.keySet());
            if (pnp) {
                names.add(VelkSCard.PNP_NOTIFICATION);
            }
            if (names.isEmpty()) {
                pause();
                relist(true);
                return;
            }
            int[] current = new int[names.size()];
            for (int i = 0; i < known.size(); i++) {
                current[i] = known.get(names.get(i));
            }
            if (pnp) {
                current[names.size() - 1] = pnpState;
            }
            int[] now = VelkSCard.SCardGetStatusChange(context.handle, SLICE_MILLIS, current,
                    names.toArray(new String[0]));
            if (now == current) {
                if (!pnp) {
                    relist(true);
                }
                return;
            }
            boolean readersChanged = false;
            for (int i = 0; i < known.size(); i++) {
                int state = now[i] & ~VelkSCard.SCARD_STATE_CHANGED;
                if ((now[i] & VelkSCard.SCARD_STATE_CHANGED) == 0) {
                    continue;
                }
                if ((state & VelkSCard.SCARD_STATE_UNKNOWN) != 0) {
                    readersChanged = true;
                    continue;
                }
                report(names.get(i), current[i], state);
                known.put(names.get(i), state);
            }
            if (pnp && (now[names.size() - 1] & VelkSCard.SCARD_STATE_CHANGED) != 0) {
                pnpState = now[names.size() - 1] & ~VelkSCard.SCARD_STATE_CHANGED;
                readersChanged = true;
            }
            if (readersChanged || !pnp) {
                relist(true);
            }
        }

        private void report(String reader, int before, int after) {
            boolean was = ReaderState.present(before);
            boolean is = ReaderState.present(after);
            boolean counted = ReaderState.eventCount(before) != ReaderState.eventCount(after);
            String change;
            if (!was && is) {
                change = "card inserted";
            } else if (was && !is) {
                change = "card removed";
            } else if (counted && is) {
                change = "card removed and inserted";
            } else if (counted && (after & VelkSCard.SCARD_STATE_EMPTY) != 0) {
                change = "card inserted and removed";
            } else if (!ReaderState.describe(before).equals(ReaderState.describe(after))) {
                change = ReaderState.describe(after);
            } else {
                return;
            }
            io.event(reader + ": " + change);
        }

        /** Lists the readers again; reports the ones gone and the new ones with their state. */
        private void relist(boolean announce) throws VelkCardException {
            List<String> now = Arrays.asList(context.readers());
            for (String gone : new ArrayList<>(known.keySet())) {
                if (!now.contains(gone)) {
                    known.remove(gone);
                    io.event("reader removed: " + gone);
                }
            }
            List<String> added = new ArrayList<>();
            for (String name : now) {
                if (!known.containsKey(name)) {
                    added.add(name);
                }
            }
            int[] states = context.states(added.toArray(new String[0]));
            for (int i = 0; i < added.size(); i++) {
                int state = states[i] & ~VelkSCard.SCARD_STATE_CHANGED;
                known.put(added.get(i), state);
                io.event((announce ? "reader added: " : "") + added.get(i) + ": "
                        + ReaderState.describe(state));
            }
        }

        private void pause() {
            try {
                Thread.sleep(SLICE_MILLIS);
            } catch (InterruptedException e) {
                Thread.currentThread().interrupt();
                io.stop.stop();
            }
        }
    }
}
