package com.vormel.kx.platform.velksmartcard.tests;

import static com.vormel.kx.testkit.Failures.assertPcscFailure;
import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.vormel.kx.platform.velksmartcard.VelkSCard;
import com.vormel.kx.testkit.Apdus;
import com.vormel.kx.testkit.Patience;
import com.vormel.kx.testkit.Pcsc;
import com.vormel.kx.testkit.PcscTexts;
import com.vormel.kx.testkit.VirtualCard;
import java.util.concurrent.ExecutorService;
import java.util.concurrent.Executors;
import java.util.concurrent.Future;
import java.util.concurrent.TimeUnit;
import java.util.concurrent.atomic.AtomicBoolean;
import org.junit.jupiter.api.AfterEach;
import org.junit.jupiter.api.BeforeEach;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.Timeout;

/** Exclusive access across exchanges between two shared connections to one card. */
@Timeout(180)
class TransactionTest {
    private long holderContext;
    private long waiterContext;
    private long holder;
    private long waiter;
    private final ExecutorService thread = Executors.newSingleThreadExecutor(r -> {
        Thread t = new Thread(r, "transaction-waiter");
        t.setDaemon(true);
        return t;
    });

    @BeforeEach
    void connect() throws Exception {
        // One context each, as two applications would have.
        holderContext = Pcsc.establish();
        waiterContext = Pcsc.establish();
        holder = Pcsc.connect(holderContext, VirtualCard.t1().reader());
        waiter = Pcsc.connect(waiterContext, VirtualCard.t1().reader());
    }

    @AfterEach
    void disconnect() {
        thread.shutdownNow();
        // The holder goes first: that frees a waiter still blocked in its begin.
        Pcsc.disconnectQuietly(holder);
        Pcsc.disconnectQuietly(waiter);
        Pcsc.releaseQuietly(waiterContext);
        Pcsc.releaseQuietly(holderContext);
    }

    @Test
    void beginBlocksWhileAnotherConnectionHoldsTheCard() throws Exception {
        VelkSCard.SCardBeginTransaction(holder);
        AtomicBoolean endCalled = new AtomicBoolean();
        Future<Boolean> begin = thread.submit(() -> {
            VelkSCard.SCardBeginTransaction(waiter);
            return endCalled.get();
        });
        Patience.assertStillBlocked(begin, "the second begin, with the card held,");
        // The holder still has the card to itself meanwhile.
        assertArrayEquals(new byte[] {(byte) 0x90, 0x00},
                VelkSCard.SCardTransmit(holder, VelkSCard.SCARD_PROTOCOL_T1, Apdus.selectByName()));

        endCalled.set(true);
        VelkSCard.SCardEndTransaction(holder, VelkSCard.SCARD_LEAVE_CARD);
        assertTrue(begin.get(Patience.MILLIS, TimeUnit.MILLISECONDS),
                "the second begin returned before the first transaction ended");
        VelkSCard.SCardEndTransaction(waiter, VelkSCard.SCARD_LEAVE_CARD);
    }

    @Test
    void endingATransactionThatIsNotOpenIsRefused() throws Exception {
        assertPcscFailure("SCardEndTransaction failed with code " + PcscTexts.NOT_TRANSACTED,
                () -> VelkSCard.SCardEndTransaction(holder, VelkSCard.SCARD_LEAVE_CARD));
        VelkSCard.SCardBeginTransaction(holder);
        VelkSCard.SCardEndTransaction(holder, VelkSCard.SCARD_LEAVE_CARD);
        assertPcscFailure("SCardEndTransaction failed with code " + PcscTexts.NOT_TRANSACTED,
                () -> VelkSCard.SCardEndTransaction(holder, VelkSCard.SCARD_LEAVE_CARD));
    }
}
