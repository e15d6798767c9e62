package com.vormel.kx.soak;

import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.Arrays;

/**
 * Resident memory of this process, sampled at even steps of a run after its warm-up. A leak
 * shows as growth that goes on through the second half; the heap is fixed (-Xms equal to -Xmx,
 * touched up front) so that the VM's own growth does not pass for one.
 */
public final class Rss {
    private final long[] kib;
    private int count;

    public Rss(int samples) {
        kib = new long[samples];
    }

    /** VmRSS of /proc/self/status, in KiB. */
    public static long currentKib() {
        try {
            for (String line : Files.readAllLines(Path.of("/proc/self/status"))) {
                if (line.startsWith("VmRSS:")) {
                    return Long.parseLong(line.replaceAll("[^0-9]", ""));
                }
            }
        } catch (IOException e) {
            throw new IllegalStateException(e);
        }
        throw new IllegalStateException("no VmRSS in /proc/self/status");
    }

    public void sample() {
        kib[count++] = currentKib();
    }

    public boolean full() {
        return count == kib.length;
    }

    /**
     * Growth across the second half in KiB: the lowest of the last few samples against the
     * lowest of the first few of that half, so that a passing peak (a collection, a compiled
     * method) is not taken for growth, while a steady leak is.
     */
    public long secondHalfGrowthKib() {
        int half = count / 2;
        int k = Math.max(3, (count - half) / 10);
        long start = Arrays.stream(kib, half, half + k).min().orElseThrow();
        long end = Arrays.stream(kib, count - k, count).min().orElseThrow();
        return end - start;
    }

    public String summary() {
        long[] s = Arrays.copyOf(kib, count);
        return String.format("RSS after warm-up %d KiB, at half-time %d KiB, at the end %d KiB"
                + " (min %d, max %d, %d samples); growth across the second half %d KiB",
                s[0], s[count / 2], s[count - 1], Arrays.stream(s).min().orElseThrow(),
                Arrays.stream(s).max().orElseThrow(), count, secondHalfGrowthKib());
    }
}
