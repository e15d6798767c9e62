package com.vormel.kx.bench;

import com.vormel.kx.smartcardio.VelkProvider;
import java.lang.management.ManagementFactory;
import java.util.List;
import javax.smartcardio.CardChannel;
import javax.smartcardio.CommandAPDU;
import javax.smartcardio.TerminalFactory;

/**
 * {@code CardChannel.transmit} through the Velk provider and through the JDK's own provider,
 * and what each adds in Java to its raw native transmit: the time and the bytes allocated per
 * call.
 */
final class ProviderOps {
    static final String CALL = "CardChannel.transmit";
    private static final String RAW = "SCardTransmit (5 B in, 16 B out)";

    private ProviderOps() {}

    static List<PcscBench.Op> transmit(byte[] command, int responseLength) throws Exception {
        CardChannel velk = basicChannel(TerminalFactory.getInstance("PC/SC", null, new VelkProvider()));
        CardChannel jdk = basicChannel(TerminalFactory.getInstance("PC/SC", null, "SunPCSC"));
        CommandAPDU apdu = new CommandAPDU(command);
        String call = CALL + " (5 B in, 16 B out)";
        return List.of(
                // One loop each, so that neither call site sees the other's channel class.
                new PcscBench.Op(call, "ours", "SCardTransmit", 1, responseLength, () -> n -> {
                    long sum = 0;
                    for (int i = 0; i < n; ++i) {
                        sum += velk.transmit(apdu).getNr() + 2; // data and status word
                    }
                    return sum;
                }),
                new PcscBench.Op(call, "JDK", "SCardTransmit", 1, responseLength, () -> n -> {
                    long sum = 0;
                    for (int i = 0; i < n; ++i) {
                        sum += jdk.transmit(apdu).getNr() + 2;
                    }
                    return sum;
                }));
    }

    private static CardChannel basicChannel(TerminalFactory factory) throws Exception {
        return factory.terminals().list().get(0).connect("*").getBasicChannel();
    }

    /** The providers' table: both transmits, the natives under them, the Java layers. */
    static void print(List<PcscBench.Op> ops, int[] threadCounts, int rounds) throws Throwable {
        String call = ops.stream().filter(op -> op.call.startsWith(CALL)).findFirst()
                .map(op -> op.call).orElse(null);
        if (call == null) {
            return; // left out by --only
        }
        PcscBench.Op velk = PcscBench.find(ops, call, "ours");
        PcscBench.Op jdk = PcscBench.find(ops, call, "JDK");
        PcscBench.Op velkRaw = PcscBench.find(ops, RAW, "ours");
        PcscBench.Op jdkRaw = PcscBench.find(ops, RAW, "JDK");
        System.out.println();
        System.out.println("CardChannel.transmit through the providers, against the same stand-in,"
                + " ns per call (best / median of " + rounds + " rounds); the Java layer is the"
                + " provider's transmit minus its native transmit:");
        System.out.println();
        System.out.println("| threads | Velk transmit | VelkSCard.SCardTransmit | Velk Java layer"
                + " | JDK transmit | JDK native SCardTransmit | JDK Java layer"
                + " | Velk − JDK layer |");
        System.out.println("|---|---|---|---|---|---|---|---|");
        for (int t = 0; t < threadCounts.length; ++t) {
            double[] v = velk.samples.get(t);
            double[] vr = velkRaw.samples.get(t);
            double[] j = jdk.samples.get(t);
            double[] jr = jdkRaw.samples.get(t);
            double vBest = PcscBench.best(v) - PcscBench.best(vr);
            double vMedian = PcscBench.median(v) - PcscBench.median(vr);
            double jBest = PcscBench.best(j) - PcscBench.best(jr);
            double jMedian = PcscBench.median(j) - PcscBench.median(jr);
            System.out.printf("| %d | %s | %s | %.0f / %.0f | %s | %s | %.0f / %.0f | %+.0f / %+.0f |%n",
                    threadCounts[t], cell(v), cell(vr), vBest, vMedian, cell(j), cell(jr), jBest,
                    jMedian, vBest - jBest, vMedian - jMedian);
        }
        System.out.println();
        System.out.printf("Bytes allocated per call: Velk transmit %s, JDK transmit %s;"
                + " VelkSCard.SCardTransmit %s, JDK native %s%n",
                allocated(velk), allocated(jdk), allocated(velkRaw), allocated(jdkRaw));
    }

    private static String cell(double[] samples) {
        return String.format("%.0f / %.0f", PcscBench.best(samples), PcscBench.median(samples));
    }

    // Bytes the calling thread allocates per call, over a round of the op's size.
    private static String allocated(PcscBench.Op op) throws Throwable {
        com.sun.management.ThreadMXBean threads =
                (com.sun.management.ThreadMXBean) ManagementFactory.getThreadMXBean();
        PcscBench.Calls calls = op.factory.make();
        calls.run(op.n);
        long id = Thread.currentThread().getId();
        long before = threads.getThreadAllocatedBytes(id);
        calls.run(op.n);
        long after = threads.getThreadAllocatedBytes(id);
        return String.format("%.1f", (double) (after - before) / op.n);
    }
}
