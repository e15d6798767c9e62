package com.vormel.kx.bench;

import com.vormel.kx.platform.velksmartcard.VelkSCard;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import java.util.concurrent.CyclicBarrier;
import java.util.concurrent.ExecutionException;
import java.util.concurrent.ExecutorService;
import java.util.concurrent.Executors;
import java.util.concurrent.Future;

/**
 * Per-call time of the bridge's natives side by side with the JDK's own PC/SC natives and with
 * the same calls made from C, in one VM against one PC/SC library.
 *
 * <pre>
 * PcscBench [--real] [--rounds N] [--round-ms MS] [--threads 1,2] [--only CALL]
 * </pre>
 *
 * Without {@code --real} the library must be the lean stand-in; every call of every variant is
 * checked to have reached it (through its counters), and the run fails otherwise. With {@code
 * --real} it runs the transmit against the reader named by {@code VELK_READER} (a card that
 * answers {@code 00 CA 00 00 0E} with 16 bytes). {@code --only} keeps the calls whose name
 * starts with CALL (for profiling one of them); a round of one variant lasts about MS
 * milliseconds (default 4). Prints markdown tables.
 */
public final class PcscBench {
    private static final int SHARE_SHARED = 2;
    private static final int PROTOCOLS_T0_T1 = 3;
    private static final int LEAVE_CARD = 0;
    // GET DATA with Le = 14: 14 data bytes and the status word.
    private static final byte[] COMMAND = {0x00, (byte) 0xCA, 0x00, 0x00, 0x0E};
    private static final int RESPONSE_LENGTH = 16;
    private static long roundNanos = 4_000_000;

    /** n calls of one variant; returns a checksum of what came back. */
    interface Calls {
        long run(int n) throws Throwable;
    }

    /** Makes the calls of one thread (each thread gets its own out arrays). */
    interface CallsFactory {
        Calls make();
    }

    /** One variant of one call: C, ours or JDK. */
    static final class Op {
        final String call;
        final String impl;
        final String pcscFunction;
        final int pcscCallsPerCall;
        final long checksumPerCall; // 0: not checked
        final CallsFactory factory;
        int n;
        final List<double[]> samples = new ArrayList<>(); // per thread count: ns per call

        Op(String call, String impl, String pcscFunction, int pcscCallsPerCall,
                long checksumPerCall, CallsFactory factory) {
            this.call = call;
            this.impl = impl;
            this.pcscFunction = pcscFunction;
            this.pcscCallsPerCall = pcscCallsPerCall;
            this.checksumPerCall = checksumPerCall;
            this.factory = factory;
        }
    }

    static volatile long sink;

    public static void main(String[] args) throws Throwable {
        boolean real = false;
        int rounds = 21;
        int[] threadCounts = {1, 2};
        String only = null;
        for (int i = 0; i < args.length; ++i) {
            switch (args[i]) {
                case "--real":
                    real = true;
                    break;
                case "--round-ms":
                    roundNanos = Long.parseLong(args[++i]) * 1_000_000;
                    break;
                case "--only":
                    only = args[++i];
                    break;
                case "--rounds":
                    rounds = Integer.parseInt(args[++i]);
                    break;
                case "--threads":
                    threadCounts =
                            Arrays.stream(args[++i].split(",")).mapToInt(Integer::parseInt).toArray();
                    break;
                default:
                    throw new IllegalArgumentException("unknown argument " + args[i]);
            }
        }
        List<Op> ops = real ? realOps() : standInOps();
        if (only != null) {
            String prefix = only;
            ops.removeIf(op -> !op.call.startsWith(prefix));
        }
        boolean counted = CPcsc.calls("SCardTransmit") >= 0;
        if (!real && !counted) {
            throw new IllegalStateException(
                    "the loaded PC/SC library is not the stand-in (no call counters)");
        }

        for (Op op : ops) {
            warmUp(op);
        }
        for (int threads : threadCounts) {
            double[][] perOp = new double[ops.size()][rounds];
            for (int r = 0; r < rounds; ++r) {
                // Each round starts with another variant, so that none always runs first.
                for (int k = 0; k < ops.size(); ++k) {
                    int o = (r + k) % ops.size();
                    perOp[o][r] = measure(ops.get(o), threads, counted);
                }
            }
            for (int o = 0; o < ops.size(); ++o) {
                ops.get(o).samples.add(perOp[o]);
            }
        }
        if (real) {
            printReal(ops, rounds);
        } else {
            printStandIn(ops, threadCounts, rounds);
            ProviderOps.print(ops, threadCounts, rounds);
            printJniCallCost(rounds);
        }
    }

    // What the VM charges for one JNI call from native code, the unit in which the bridge and
    // the JDK differ: both make the same PC/SC call but not the same number of JNI calls.
    private static void printJniCallCost(int rounds) {
        final int n = 200_000;
        byte[] array = new byte[5];
        double[] checks = new double[rounds];
        double[] lengths = new double[rounds];
        for (int r = -3; r < rounds; ++r) {
            long start = System.nanoTime();
            sink += CPcsc.exceptionChecks(n);
            long middle = System.nanoTime();
            sink += CPcsc.arrayLengths(array, n);
            long end = System.nanoTime();
            if (r >= 0) {
                checks[r] = (double) (middle - start) / n;
                lengths[r] = (double) (end - middle) / n;
            }
        }
        System.out.printf("One JNI call from native code, ns (best / median): ExceptionCheck %.1f / %.1f,"
                + " GetArrayLength %.1f / %.1f%n", best(checks), median(checks), best(lengths),
                median(lengths));
    }

    private static List<Op> standInOps() throws Throwable {
        long context = VelkSCard.SCardEstablishContext(0);
        String[] readers = VelkSCard.SCardListReaders(context);
        if (readers == null || readers.length < 2) {
            throw new IllegalStateException("the stand-in should list two readers");
        }
        int[] active = new int[1];
        long card = VelkSCard.SCardConnect(context, readers[0], SHARE_SHARED, PROTOCOLS_T0_T1,
                active);
        int protocol = active[0];
        long jdkContext = (long) JdkPcsc.ESTABLISH_CONTEXT.invokeExact(0);
        long jdkCard = (long) JdkPcsc.CONNECT.invokeExact(jdkContext, readers[0], SHARE_SHARED,
                PROTOCOLS_T0_T1);
        String[] two = {readers[0], readers[1]};

        List<Op> ops = new ArrayList<>();
        addTransmit(ops, card, jdkCard, protocol, true);
        ops.add(new Op("SCardStatus", "C", "SCardStatus", 1, 0,
                () -> n -> CPcsc.status(card, n)));
        ops.add(new Op("SCardStatus", "ours", "SCardStatus", 1, 0, () -> {
            int[] state = new int[1];
            return n -> {
                long sum = 0;
                for (int i = 0; i < n; ++i) {
                    sum += VelkSCard.SCardStatus(card, state).length;
                }
                return sum;
            };
        }));
        ops.add(new Op("SCardStatus", "JDK", "SCardStatus", 1, 0, () -> {
            byte[] status = new byte[2];
            return n -> {
                long sum = 0;
                for (int i = 0; i < n; ++i) {
                    sum += ((byte[]) JdkPcsc.STATUS.invokeExact(jdkCard, status)).length;
                }
                return sum;
            };
        }));
        ops.add(new Op("SCardGetStatusChange (2 readers)", "C", "SCardGetStatusChange", 1, 0,
                () -> n -> CPcsc.statusChange(context, two[0], two[1], n)));
        ops.add(new Op("SCardGetStatusChange (2 readers)", "ours", "SCardGetStatusChange", 1, 0,
                () -> {
                    int[] current = new int[2];
                    return n -> {
                        long sum = 0;
                        for (int i = 0; i < n; ++i) {
                            sum += VelkSCard.SCardGetStatusChange(context, 0, current, two).length;
                        }
                        return sum;
                    };
                }));
        ops.add(new Op("SCardGetStatusChange (2 readers)", "JDK", "SCardGetStatusChange", 1, 0,
                () -> {
                    int[] current = new int[2];
                    return n -> {
                        long sum = 0;
                        for (int i = 0; i < n; ++i) {
                            sum += ((int[]) JdkPcsc.GET_STATUS_CHANGE.invokeExact(jdkContext, 0L,
                                    current, two)).length;
                        }
                        return sum;
                    };
                }));
        ops.add(new Op("SCardListReaders", "C", "SCardListReaders", 2, 0,
                () -> n -> CPcsc.listReaders(context, n)));
        ops.add(new Op("SCardListReaders", "ours", "SCardListReaders", 2, 0, () -> n -> {
            long sum = 0;
            for (int i = 0; i < n; ++i) {
                sum += VelkSCard.SCardListReaders(context).length;
            }
            return sum;
        }));
        ops.add(new Op("SCardListReaders", "JDK", "SCardListReaders", 2, 0, () -> n -> {
            long sum = 0;
            for (int i = 0; i < n; ++i) {
                sum += ((String[]) JdkPcsc.LIST_READERS.invokeExact(jdkContext)).length;
            }
            return sum;
        }));
        ops.addAll(ProviderOps.transmit(COMMAND, RESPONSE_LENGTH));
        return ops;
    }

    private static List<Op> realOps() throws Throwable {
        String reader = System.getenv("VELK_READER");
        if (reader == null || reader.isEmpty()) {
            throw new IllegalStateException("--real needs VELK_READER (run under with-pcscd.sh)");
        }
        long context = VelkSCard.SCardEstablishContext(0);
        int[] active = new int[1];
        long card = VelkSCard.SCardConnect(context, reader, SHARE_SHARED, PROTOCOLS_T0_T1, active);
        long jdkContext = (long) JdkPcsc.ESTABLISH_CONTEXT.invokeExact(0);
        long jdkCard = (long) JdkPcsc.CONNECT.invokeExact(jdkContext, reader, SHARE_SHARED,
                PROTOCOLS_T0_T1);
        List<Op> ops = new ArrayList<>();
        addTransmit(ops, card, jdkCard, active[0], true);
        Runtime.getRuntime().addShutdownHook(new Thread(() -> {
            try {
                VelkSCard.SCardDisconnect(card, LEAVE_CARD);
                JdkPcsc.DISCONNECT.invokeExact(jdkCard, LEAVE_CARD);
            } catch (Throwable ignored) {
                // The stack goes down with the run anyway.
            }
        }));
        return ops;
    }

    private static void addTransmit(List<Op> ops, long card, long jdkCard, int protocol,
            boolean checkLength) {
        long perCall = checkLength ? RESPONSE_LENGTH : 0;
        ops.add(new Op("SCardTransmit (5 B in, 16 B out)", "C", "SCardTransmit", 1, perCall,
                () -> n -> CPcsc.transmit(card, protocol, COMMAND, n)));
        ops.add(new Op("SCardTransmit (5 B in, 16 B out)", "ours", "SCardTransmit", 1, perCall,
                () -> n -> {
                    long sum = 0;
                    for (int i = 0; i < n; ++i) {
                        sum += VelkSCard.SCardTransmit(card, protocol, COMMAND).length;
                    }
                    return sum;
                }));
        ops.add(new Op("SCardTransmit (5 B in, 16 B out)", "JDK", "SCardTransmit", 1, perCall,
                () -> n -> {
                    long sum = 0;
                    for (int i = 0; i < n; ++i) {
                        sum += ((byte[]) JdkPcsc.TRANSMIT.invokeExact(jdkCard, protocol, COMMAND,
                                0, COMMAND.length)).length;
                    }
                    return sum;
                }));
    }

    // Runs the variant until its code is compiled, then sizes a round to about roundNanos.
    private static void warmUp(Op op) throws Throwable {
        Calls calls = op.factory.make();
        int n = 64;
        long deadline = System.nanoTime() + 300_000_000L;
        long elapsed = 0;
        while (System.nanoTime() < deadline) {
            long start = System.nanoTime();
            check(op, calls.run(n), n);
            elapsed = System.nanoTime() - start;
            if (elapsed < roundNanos / 4 && n < (1 << 22)) {
                n *= 2;
            }
        }
        op.n = (int) Math.max(20, Math.min(1 << 22, (long) n * roundNanos / Math.max(1, elapsed)));
    }

    // Nanoseconds per call in one round: with several threads, each makes op.n calls at the
    // same time and the slowest thread counts.
    private static double measure(Op op, int threads, boolean counted) throws Throwable {
        long before = counted ? CPcsc.calls(op.pcscFunction) : 0;
        long nanos;
        if (threads == 1) {
            Calls calls = op.factory.make();
            long start = System.nanoTime();
            long sum = calls.run(op.n);
            nanos = System.nanoTime() - start;
            check(op, sum, op.n);
        } else {
            nanos = measureConcurrently(op, threads);
        }
        if (counted) {
            long reached = CPcsc.calls(op.pcscFunction) - before;
            long expected = (long) threads * op.n * op.pcscCallsPerCall;
            if (reached != expected) {
                throw new IllegalStateException(op.impl + " " + op.call + ": the stand-in saw "
                        + reached + " calls of " + op.pcscFunction + ", expected " + expected);
            }
        }
        return (double) nanos / op.n;
    }

    // The same workers for every round, so that thread start-up stays out of the figures.
    private static ExecutorService workers;
    private static int workerCount;

    private static long measureConcurrently(Op op, int threads) throws Throwable {
        if (workerCount != threads) {
            if (workers != null) {
                workers.shutdown();
            }
            workers = Executors.newFixedThreadPool(threads, task -> {
                Thread thread = new Thread(task);
                thread.setDaemon(true);
                return thread;
            });
            workerCount = threads;
        }
        CyclicBarrier start = new CyclicBarrier(threads);
        List<Future<Long>> nanos = new ArrayList<>();
        for (int t = 0; t < threads; ++t) {
            Calls calls = op.factory.make();
            nanos.add(workers.submit(() -> {
                try {
                    start.await();
                    long begin = System.nanoTime();
                    long sum = calls.run(op.n);
                    long elapsed = System.nanoTime() - begin;
                    check(op, sum, op.n);
                    return elapsed;
                } catch (Exception | Error e) {
                    throw e;
                } catch (Throwable e) {
                    throw new IllegalStateException(e);
                }
            }));
        }
        long slowest = 0;
        for (Future<Long> result : nanos) {
            try {
                slowest = Math.max(slowest, result.get());
            } catch (ExecutionException e) {
                throw e.getCause();
            }
        }
        return slowest;
    }

    private static void check(Op op, long sum, int n) {
        if (sum < 0 || (op.checksumPerCall != 0 && sum != op.checksumPerCall * n)) {
            throw new IllegalStateException(op.impl + " " + op.call + " failed or returned "
                    + sum + " bytes for " + n + " calls");
        }
        sink += sum;
    }

    static double best(double[] values) {
        return Arrays.stream(values).min().orElse(Double.NaN);
    }

    static double median(double[] values) {
        double[] sorted = values.clone();
        Arrays.sort(sorted);
        int m = sorted.length / 2;
        return sorted.length % 2 == 1 ? sorted[m] : (sorted[m - 1] + sorted[m]) / 2;
    }

    static Op find(List<Op> ops, String call, String impl) {
        for (Op op : ops) {
            if (op.call.equals(call) && op.impl.equals(impl)) {
                return op;
            }
        }
        throw new IllegalArgumentException(call + " " + impl);
    }

    private static String cell(double[] samples, double scale) {
        return String.format("%.0f / %.0f", best(samples) / scale, median(samples) / scale);
    }

    private static String ratio(double[] a, double[] b) {
        return String.format("%.2f / %.2f", best(a) / best(b), median(a) / median(b));
    }

    private static void printStandIn(List<Op> ops, int[] threadCounts, int rounds) {
        System.out.println("Against the lean PC/SC stand-in, ns per call (best / median of "
                + rounds + " rounds; with 2 threads, per call of each thread):");
        System.out.println();
        System.out.println("| call | threads | C, no JNI | ours | JDK | ours ÷ JDK |");
        System.out.println("|---|---|---|---|---|---|");
        List<String> calls = new ArrayList<>();
        for (Op op : ops) {
            if (!calls.contains(op.call) && !op.call.startsWith(ProviderOps.CALL)) {
                calls.add(op.call);
            }
        }
        for (int t = 0; t < threadCounts.length; ++t) {
            for (String call : calls) {
                double[] c = find(ops, call, "C").samples.get(t);
                double[] ours = find(ops, call, "ours").samples.get(t);
                double[] jdk = find(ops, call, "JDK").samples.get(t);
                System.out.printf("| %s | %d | %s | %s | %s | %s |%n", call, threadCounts[t],
                        cell(c, 1), cell(ours, 1), cell(jdk, 1), ratio(ours, jdk));
            }
        }
        System.out.println();
        System.out.println("Every call of every variant reached the stand-in (its counters agree).");
    }

    private static void printReal(List<Op> ops, int rounds) {
        System.out.println("Against pcscd + vpcd + virtual card, µs per call (best / median of "
                + rounds + " rounds):");
        System.out.println();
        System.out.println("| call | C, no JNI | ours | JDK | ours ÷ C |");
        System.out.println("|---|---|---|---|---|");
        String call = ops.get(0).call;
        double[] c = find(ops, call, "C").samples.get(0);
        double[] ours = find(ops, call, "ours").samples.get(0);
        double[] jdk = find(ops, call, "JDK").samples.get(0);
        System.out.printf("| %s | %s | %s | %s | %s |%n", call, cell1(c), cell1(ours),
                cell1(jdk), String.format("%.3f / %.3f", best(ours) / best(c),
                        median(ours) / median(c)));
    }

    private static String cell1(double[] samples) {
        return String.format("%.1f / %.1f", best(samples) / 1000, median(samples) / 1000);
    }
}
