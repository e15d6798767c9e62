package com.vormel.kx.smartcardio;

import com.vormel.kx.platform.velksmartcard.VelkCardException;
import com.vormel.kx.platform.velksmartcard.VelkSCard;
import java.util.Objects;
import javax.smartcardio.Card;
import javax.smartcardio.CardException;
import javax.smartcardio.CardTerminal;

/**
 * One reader, by name. {@code connect} calls are serialized per terminal and return the same
 * card while its connection lives; the waits run on contexts of their own.
 */
final class VelkTerminal extends CardTerminal {
    private final ContextHolder contexts;
    private final String name;
    private VelkCard card; // guarded by this

    VelkTerminal(ContextHolder contexts, String name) {
        this.contexts = contexts;
        this.name = name;
    }

    @Override
    public String getName() {
        return name;
    }

    @Override
    public synchronized Card connect(String protocol) throws CardException {
        Objects.requireNonNull(protocol, "protocol");
        if (card != null) {
            if (card.isValid()) {
                String active = card.getProtocol();
                if (protocol.equals("*") || protocol.equalsIgnoreCase(active)) {
                    return card;
                }
                throw new CardException("Cannot connect using " + protocol
                        + ", connection already established using " + active);
            }
            card = null;
        }
        card = VelkCard.connect(this, contexts, ConnectMode.of(protocol));
        return card;
    }

    @Override
    public boolean isCardPresent() throws CardException {
        try {
            return ReaderHistory.present(probe());
        } catch (VelkCardException e) {
            throw Failures.card(e);
        }
    }

    @Override
    public boolean waitForCardPresent(long timeout) throws CardException {
        return waitForCard(true, timeout);
    }

    @Override
    public boolean waitForCardAbsent(long timeout) throws CardException {
        return waitForCard(false, timeout);
    }

    private boolean waitForCard(boolean present, long timeout) throws CardException {
        if (timeout < 0) {
            throw new IllegalArgumentException("timeout must not be negative");
        }
        int state;
        try {
            state = probe();
        } catch (VelkCardException e) {
            throw Failures.card(e);
        }
        if (ReaderHistory.present(state) == present) {
            return true;
        }
        return StatusWait.until(new String[] {name}, new int[] {state}, timeout,
                       states -> ReaderHistory.present(states[0]) == present)
                != null;
    }

    private int probe() throws VelkCardException {
        String[] names = {name};
        return contexts.call(context -> VelkSCard.SCardGetStatusChange(
                context, 0, new int[] {VelkSCard.SCARD_STATE_UNAWARE}, names))[0];
    }

    @Override
    public String toString() {
        return "PC/SC terminal " + name;
    }
}
