package com.vormel.kx.platform.velksmartcard.tests;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.vormel.kx.platform.velksmartcard.VelkCardException;
import com.vormel.kx.platform.velksmartcard.VelkSCard;
import com.vormel.kx.testkit.Apdus;
import com.vormel.kx.testkit.Patience;
import com.vormel.kx.testkit.Pcsc;
import com.vormel.kx.testkit.PcscTexts;
import com.vormel.kx.testkit.VirtualCard;
import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.CountDownLatch;
import java.util.concurrent.ExecutorService;
import java.util.concurrent.Executors;
import java.util.concurrent.Future;
import java.util.concurrent.TimeUnit;
import java.util.concurrent.atomic.AtomicBoolean;
import java.util.concurrent.atomic.AtomicInteger;
import java.util.regex.Pattern;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.Timeout;

/** The card leaves the reader in the middle of a stream of APDU exchanges. */
@Timeout(600)
class CardPulledTest {
    private static final Pattern PCSC_TEXT = PcscTexts.anyFailureOf("SCardTransmit");
    private static final int BEFORE = 50;
    private static final int FAILURES = 100;

    @Test
    void everyFailureOfATransmitLoopIsAPcscTextAndTheCardWorksOnceBack() throws Exception {
        long context = Pcsc.establish();
        long card = Pcsc.connect(context, VirtualCard.t1().reader());
        CountDownLatch exchanged = new CountDownLatch(BEFORE);
        CountDownLatch failed = new CountDownLatch(FAILURES);
        AtomicBoolean stop = new AtomicBoolean();
        AtomicBoolean pulled = new AtomicBoolean();
        AtomicInteger emptyAnswers = new AtomicInteger();
        List<String> failures = new ArrayList<>();
        ExecutorService loop = Executors.newSingleThreadExecutor();
        try {
            Future<Throwable> outcome = loop.submit(() -> {
                // Anything but a VelkCardException ends the loop and fails the test.
                try {
                    while (!stop.get()) {
                        try {
                            byte[] response = VelkSCard.SCardTransmit(card,
                                    VelkSCard.SCARD_PROTOCOL_T1, Apdus.selectByName());
                            // vpcd answers an exchange that the pull cut short with an
                            // empty success; before the pull that is a fault.
                            if (response.length == 0 && pulled.get()) {
                                emptyAnswers.incrementAndGet();
                                continue;
                            }
                            assertArrayEquals(new byte[] {(byte) 0x90, 0x00}, response);
                            exchanged.countDown();
                        } catch (VelkCardException e) {
                            synchronized (failures) {
                                failures.add(e.getMessage());
                            }
                            failed.countDown();
                        }
                    }
                    return null;
                } catch (Throwable t) {
                    return t;
                }
            });
            assertTrue(exchanged.await(Patience.MILLIS, TimeUnit.MILLISECONDS));
            pulled.set(true);
            VirtualCard.t1().remove();
            // Through the time PC/SC takes to notice, and for a while after it has.
            long observer = Pcsc.establish();
            try {
                Pcsc.awaitReaderState(observer, VirtualCard.t1().reader(),
                        VelkSCard.SCARD_STATE_EMPTY);
            } finally {
                VelkSCard.SCardReleaseContext(observer);
            }
            boolean enough = failed.await(Patience.MILLIS, TimeUnit.MILLISECONDS);
            stop.set(true);
            Throwable thrown = outcome.get(Patience.MILLIS, TimeUnit.MILLISECONDS);
            if (thrown != null) {
                throw new AssertionError("the transmit loop ended with " + thrown, thrown);
            }
            assertTrue(enough, "the loop saw no failures after the card was pulled");
        } finally {
            stop.set(true);
            loop.shutdownNow();
        }
        synchronized (failures) {
            for (String message : failures) {
                assertTrue(PCSC_TEXT.matcher(message).matches(), message);
            }
            System.out.println("card pulled: " + failures.size() + " failures, "
                    + emptyAnswers.get() + " empty answers, distinct: "
                    + failures.stream().distinct().toList());
        }

        Pcsc.insertCard(context, VirtualCard.t1());
        int[] active = new int[1];
        VelkSCard.SCardReconnect(card, VelkSCard.SCARD_SHARE_SHARED,
                VelkSCard.SCARD_PROTOCOL_ANY, VelkSCard.SCARD_RESET_CARD, active);
        assertEquals(VelkSCard.SCARD_PROTOCOL_T1, active[0]);
        assertArrayEquals(new byte[] {(byte) 0x90, 0x00}, VelkSCard.SCardTransmit(card,
                VelkSCard.SCARD_PROTOCOL_T1, Apdus.selectByName()));
        VelkSCard.SCardDisconnect(card, VelkSCard.SCARD_LEAVE_CARD);
        VelkSCard.SCardReleaseContext(context);
    }
}
