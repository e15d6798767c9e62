package com.vormel.kx.smartcardio;

import com.vormel.kx.platform.velksmartcard.VelkCardException;
import com.vormel.kx.platform.velksmartcard.VelkSCard;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.Collections;
import java.util.List;
import javax.smartcardio.CardException;
import javax.smartcardio.CardTerminal;
import javax.smartcardio.CardTerminals;

/**
 * The readers of a factory. Lists come from PC/SC at each call; waits watch the listed readers
 * and, where the daemon offers it, PC/SC's plug-and-play notification for readers that come
 * or go. Waits of one object run one at a time; lists do not wait for them.
 */
final class VelkTerminals extends CardTerminals {
    private static final int UNKNOWN = VelkSCard.SCARD_STATE_UNKNOWN;

    private final VelkTerminalFactory factory;
    private final ReaderHistory history = new ReaderHistory();
    private final Object waiting = new Object();
    private boolean plugAndPlay = true; // guarded by waiting
    private int plugAndPlayState; // guarded by waiting

    VelkTerminals(VelkTerminalFactory factory) {
        this.factory = factory;
    }

    @Override
    public List<CardTerminal> list(State state) throws CardException {
        if (state == null) {
            throw new NullPointerException();
        }
        try {
            String[] names = ReaderNames.list(factory.contexts());
            if (!history.started()) {
                // Before the first wait, events are read as states, as the JDK's provider does.
                if (state == State.CARD_INSERTION) {
                    state = State.CARD_PRESENT;
                } else if (state == State.CARD_REMOVAL) {
                    state = State.CARD_ABSENT;
                }
            }
            int[] states = state == State.CARD_PRESENT || state == State.CARD_ABSENT
                    ? probe(names) : null;
            List<CardTerminal> terminals = new ArrayList<>(names.length);
            for (int i = 0; i < names.length; ++i) {
                boolean listed;
                switch (state) {
                    case CARD_PRESENT:
                        listed = ReaderHistory.present(states[i]);
                        break;
                    case CARD_ABSENT:
                        listed = !ReaderHistory.present(states[i]);
                        break;
                    case CARD_INSERTION:
                        listed = history.changed(names[i], true);
                        break;
                    case CARD_REMOVAL:
                        listed = history.changed(names[i], false);
                        break;
                    default:
                        listed = true;
                        break;
                }
                if (listed) {
                    terminals.add(factory.terminal(names[i]));
                }
            }
            return Collections.unmodifiableList(terminals);
        } catch (VelkCardException e) {
            throw Failures.card(e);
        }
    }

    @Override
    public boolean waitForChange(long timeout) throws CardException {
        if (timeout < 0) {
            throw new IllegalArgumentException("Timeout must not be negative: " + timeout);
        }
        synchronized (waiting) {
            try {
                if (!history.started()) {
                    // The first wait waits for a change from what the readers show now.
                    String[] names = ReaderNames.list(factory.contexts());
                    int[] now = probe(withPlugAndPlay(names));
                    plugAndPlayState = now[names.length];
                    plugAndPlay = (plugAndPlayState & UNKNOWN) == 0;
                    history.record(names, now);
                }
                String[] readers = ReaderNames.list(factory.contexts());
                int[] known = history.current(readers);
                String[] names = readers;
                if (plugAndPlay) {
                    names = withPlugAndPlay(readers);
                    known = Arrays.copyOf(known, names.length);
                    known[readers.length] = plugAndPlayState;
                }
                int[] seen = known;
                int[] reported = StatusWait.until(names, known, timeout,
                        states -> changed(seen, states, readers.length));
                if (reported == null) {
                    return false;
                }
                if (plugAndPlay) {
                    plugAndPlayState = reported[readers.length];
                    plugAndPlay = (plugAndPlayState & UNKNOWN) == 0;
                }
                history.record(readers, reported);
                return true;
            } catch (VelkCardException e) {
                throw Failures.card(e);
            }
        }
    }

    // Only cards that come or go, and readers that come or go, end a wait: a card that is
    // merely connected to or reset by someone does not.
    private static boolean changed(int[] known, int[] reported, int readers) {
        for (int i = 0; i < readers; ++i) {
            int was = known[i];
            int is = reported[i];
            if (was == VelkSCard.SCARD_STATE_UNAWARE // a reader new since the last wait
                    || (is & UNKNOWN) != (was & UNKNOWN) // it went away
                    || ReaderHistory.present(is) != ReaderHistory.present(was)
                    || is >>> 16 != was >>> 16) { // PC/SC's count of card events moved
                return true;
            }
        }
        // The plug-and-play entry reports a change of the reader count: PC/SC lite marks it
        // changed, and some daemons also keep the count in its upper half.
        if (known.length == readers || (reported[readers] & UNKNOWN) != 0) {
            return false;
        }
        return (reported[readers] & VelkSCard.SCARD_STATE_CHANGED) != 0
                || reported[readers] >>> 16 != known[readers] >>> 16;
    }

    private int[] probe(String[] names) throws VelkCardException {
        if (names.length == 0) {
            return new int[0];
        }
        return factory.contexts().call(
                context -> VelkSCard.SCardGetStatusChange(context, 0, new int[names.length], names));
    }

    private static String[] withPlugAndPlay(String[] readers) {
        String[] names = Arrays.copyOf(readers, readers.length + 1);
        names[readers.length] = VelkSCard.PNP_NOTIFICATION;
        return names;
    }
}
