package com.vormel.kx.smartcardio;

import java.util.HashMap;
import java.util.Map;
import javax.smartcardio.CardTerminals;
import javax.smartcardio.TerminalFactorySpi;

/**
 * One factory: its PC/SC context and its terminals, shared by every {@code CardTerminals} it
 * hands out, so that a terminal keeps its card whichever list it came from.
 */
final class VelkTerminalFactory extends TerminalFactorySpi {
    private final ContextHolder contexts = new ContextHolder();
    private final Map<String, VelkTerminal> terminals = new HashMap<>();

    VelkTerminalFactory() {
        // A daemon that is not running yet, or a bridge that cannot load, only delays the
        // context to the first call, which then fails with the reason.
        contexts.tryEstablish();
    }

    @Override
    protected CardTerminals engineTerminals() {
        // A new object each time: each has its own history for CARD_INSERTION and CARD_REMOVAL.
        return new VelkTerminals(this);
    }

    ContextHolder contexts() {
        return contexts;
    }

    synchronized VelkTerminal terminal(String name) {
        return terminals.computeIfAbsent(name, n -> new VelkTerminal(contexts, n));
    }
}
