package com.vormel.kx.platform.velksmartcard.tests;

import com.vormel.kx.platform.velksmartcard.VelkSCard;

/**
 * Main class of a child VM whose class path lacks or alters an exception class of the bridge.
 * It names neither exception class itself, so that it loads whatever the class path holds; it
 * declares what it calls as thrown rather than catching it, for the same reason.
 */
public final class AbortScenario {
    private AbortScenario() {}

    public static void main(String[] args) throws Exception {
        switch (args[0]) {
            case "fatal":
                // A fatal failure that needs neither a daemon nor a request array.
                VelkSCard.SCardTransmit(1L, 0, null);
                break;
            case "pcsc":
                // A PC/SC failure: the child runs with no daemon reachable.
                VelkSCard.SCardEstablishContext(VelkSCard.SCARD_SCOPE_SYSTEM);
                break;
            default:
                throw new IllegalArgumentException(args[0]);
        }
        System.out.println("native call returned");
    }
}
