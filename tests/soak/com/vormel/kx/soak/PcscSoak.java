package com.vormel.kx.soak;

import com.vormel.kx.platform.velksmartcard.tests.MixedCalls;

/**
 * Makes a million mixed bridge calls (APDU exchange, card status, reader list, status change,
 * a PC/SC failure and a fatal failure) on the two virtual cards of the stack fixture, in one VM,
 * and fails when resident memory keeps growing through the second half of the run.
 *
 * <p>Arguments: [calls] [limit KiB]; defaults 1000000 and 1024.
 */
public final class PcscSoak {
    private PcscSoak() {}

    public static void main(String[] args) throws Exception {
        long calls = args.length > 0 ? Long.parseLong(args[0]) : 1_000_000;
        long limitKib = args.length > 1 ? Long.parseLong(args[1]) : 1024;
        Soak soak = new Soak("pcsc", calls, limitKib);
        try (MixedCalls t1 = MixedCalls.t1(); MixedCalls t0 = MixedCalls.t0()) {
            for (long n = 0; n < calls; n++) {
                // Both protocols: the cards take turns, a round of every kind of call each.
                ((n / MixedCalls.KINDS) % 2 == 0 ? t1 : t0).call(n);
                soak.step(n);
            }
        }
        System.exit(soak.verdict() ? 0 : 1);
    }
}
