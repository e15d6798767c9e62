package com.vormel.kx.smartcardio.tests;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertInstanceOf;
import static org.junit.jupiter.api.Assertions.assertNotSame;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.vormel.kx.platform.velksmartcard.VelkCardException;
import com.vormel.kx.smartcardio.VelkProvider;
import com.vormel.kx.testkit.Fixture;
import com.vormel.kx.testkit.Patience;
import com.vormel.kx.testkit.VirtualCard;
import java.util.concurrent.CompletableFuture;
import java.util.concurrent.TimeUnit;
import javax.smartcardio.Card;
import javax.smartcardio.CardChannel;
import javax.smartcardio.CardException;
import javax.smartcardio.CardTerminal;
import javax.smartcardio.CardTerminals;
import javax.smartcardio.CommandAPDU;
import javax.smartcardio.TerminalFactory;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.Timeout;

/**
 * What the JDK's provider cannot do, on a stack with a card in the first reader and none in the
 * second: a factory that outlives a daemon restart, and waits that an interrupt ends.
 */
@Timeout(900)
class BeyondTheJdkTest {
    private static final CommandAPDU SELECT = new CommandAPDU(Scenario.HEX.parseHex("00A4040000"));

    private final CardTerminals terminals;
    private final CardTerminal full;
    private final CardTerminal empty;

    BeyondTheJdkTest() throws Exception {
        terminals = TerminalFactory.getInstance("PC/SC", null, new VelkProvider()).terminals();
        full = terminals.getTerminal(VirtualCard.t1().reader());
        empty = terminals.getTerminal(Fixture.env("VELK_READER2"));
    }

    @Test
    void theFactoryOutlivesADaemonRestart() throws Exception {
        Card card = full.connect("*");
        CardChannel channel = card.getBasicChannel();
        assertEquals(0x9000, channel.transmit(SELECT).getSW());

        Fixture.pcscd("pcscd-kill");
        CardException down = assertThrows(CardException.class, terminals::list);
        assertEquals(0x8010001D, // SCARD_E_NO_SERVICE
                assertInstanceOf(VelkCardException.class, down.getCause()).getErrorCode());
        Fixture.pcscd("pcscd-start");

        assertEquals(2, terminals.list().size(), "the old CardTerminals lists again");
        assertTrue(full.isCardPresent(), "the old CardTerminal works again");
        assertThrows(CardException.class, () -> channel.transmit(SELECT), "the old card");
        Card fresh = full.connect("*");
        assertNotSame(card, fresh);
        assertEquals(0x9000, fresh.getBasicChannel().transmit(SELECT).getSW());
        fresh.disconnect(false);
    }

    @Test
    void anInterruptEndsEveryWait() throws Exception {
        long bound = Patience.MILLIS;
        assertInterruptible("waitForChange()", () -> {
            terminals.waitForChange();
            return null;
        });
        assertInterruptible("waitForChange(timeout)", () -> terminals.waitForChange(bound));
        assertInterruptible("waitForCardPresent(0)", () -> empty.waitForCardPresent(0));
        assertInterruptible("waitForCardPresent(timeout)", () -> empty.waitForCardPresent(bound));
        assertInterruptible("waitForCardAbsent(0)", () -> full.waitForCardAbsent(0));
        assertInterruptible("waitForCardAbsent(timeout)", () -> full.waitForCardAbsent(bound));
    }

    // A wait that provably blocks is interrupted: it ends with a CardException caused by an
    // InterruptedException, the interrupt flag set again.
    private static void assertInterruptible(String what, Scenario.Step wait) throws Exception {
        record Ended(Object outcome, boolean flagSet) {}
        CompletableFuture<Ended> ended = new CompletableFuture<>();
        Thread waiter = new Thread(() -> {
            Object outcome;
            try {
                outcome = wait.run();
            } catch (Exception e) {
                outcome = e;
            }
            ended.complete(new Ended(outcome, Thread.currentThread().isInterrupted()));
        });
        waiter.start();
        Patience.assertStillBlocked(ended, what);
        waiter.interrupt();
        Ended end = ended.get(Patience.MILLIS, TimeUnit.MILLISECONDS);
        CardException e = assertInstanceOf(CardException.class, end.outcome(), what);
        assertInstanceOf(InterruptedException.class, e.getCause(), what);
        assertTrue(end.flagSet(), what + ": the interrupt flag");
        waiter.join();
    }
}
