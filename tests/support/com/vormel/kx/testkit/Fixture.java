package com.vormel.kx.testkit;

/**
 * The environment that the private PC/SC stack (tests/stack/with-pcscd.sh) gives the command it
 * runs: reader names, the cards' ATRs and control channels, the stack's own control script.
 */
public final class Fixture {
    private Fixture() {}

    /**
     * A variable that the stack fixture sets.
     *
     * @param name the variable, for example VELK_READER
     * @return its value, never empty
     * @throws AssertionError naming the fixture when this runs outside it, or naming the variable
     *     when the fixture left it empty (a reader without a card)
     */
    public static String env(String name) {
        String value = System.getenv(name);
        if (value != null && !value.isEmpty()) {
            return value;
        }
        if (System.getenv("VELK_STACK_DIR") == null) {
            throw new AssertionError("not started through the stack fixture"
                    + " (tests/stack/with-pcscd.sh, CMake's VELK_WITH_PCSCD): " + name + " is unset");
        }
        throw new AssertionError("the stack fixture left " + name
                + " empty: is that reader without a card (with-pcscd.sh --card2)?");
    }
}
