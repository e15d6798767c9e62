package com.vormel.kx.testkit;

import java.util.List;

/**
 * The environment that the private PC/SC stack (tests/stack/with-pcscd.sh) gives the command it
 * runs: reader names, the cards' ATRs and control channels, the stack's own control script.
 */
public final class Fixture {
    private Fixture() {}

    /**
     * A variable that the stack fixture sets, never empty; fails naming the fixture when this
     * runs outside it, or the variable when the fixture left it empty (a reader without a card).
     */
    public static String env(String name) {
        String value = System.getenv(name);
        if (value != null && !value.isEmpty()) {
            return value;
        }
        throw new AssertionError(System.getenv("VELK_STACK_DIR") == null
                ? "not started through the stack fixture (tests/stack/with-pcscd.sh, CMake's"
                        + " VELK_WITH_PCSCD): " + name + " is unset"
                : "the stack fixture left " + name + " empty: a reader without a card?");
    }

    /** Crashes ("pcscd-kill") or restarts ("pcscd-start") the stack's pcscd through its script. */
    public static void pcscd(String command) throws Exception {
        ChildProcess.run(List.of(env("VELK_STACK_CTL"), command), null).assertSucceeded(command);
    }
}
