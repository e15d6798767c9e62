package com.vormel.kx.soak;

/**
 * The schedule of a soak run: the first tenth warms up (class loading, compilation, caches),
 * then resident memory is sampled a hundred times at even steps.
 */
public final class Soak {
    private static final int SAMPLES = 100;

    private final String name;
    private final long calls;
    private final long limitKib;
    private final long warmUp;
    private final long every;
    private final Rss rss = new Rss(SAMPLES);
    private final long started = System.nanoTime();

    public Soak(String name, long calls, long limitKib) {
        if (calls < 10L * SAMPLES) {
            throw new IllegalArgumentException("too few calls for " + SAMPLES + " samples");
        }
        this.name = name;
        this.calls = calls;
        this.limitKib = limitKib;
        this.warmUp = calls / 10;
        this.every = (calls - warmUp) / SAMPLES;
        System.out.printf("%s soak: %d calls, warm-up %d, RSS before %d KiB%n", name, calls,
                warmUp, Rss.currentKib());
    }

    /** Called after call n (from 0). */
    public void step(long n) {
        long done = n + 1;
        if (done > warmUp && (done - warmUp) % every == 0 && !rss.full()) {
            rss.sample();
        }
        if (done % (calls / 10) == 0) {
            System.out.printf("%s soak: %d calls, %.1f s, RSS %d KiB%n", name, done, seconds(),
                    Rss.currentKib());
        }
    }

    /** Prints the outcome; true when memory did not keep growing. */
    public boolean verdict() {
        long growth = rss.secondHalfGrowthKib();
        boolean ok = growth <= limitKib;
        System.out.printf("%s soak: %s in %.1f s; %s (limit %d KiB)%n", name,
                ok ? "PASSED" : "FAILED", seconds(), rss.summary(), limitKib);
        return ok;
    }

    private double seconds() {
        return (System.nanoTime() - started) / 1e9;
    }
}
