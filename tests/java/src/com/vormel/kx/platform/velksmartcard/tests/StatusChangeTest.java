package com.vormel.kx.platform.velksmartcard.tests;

import static com.vormel.kx.testkit.Failures.assertFatal;
import static com.vormel.kx.testkit.Failures.assertPcscFailure;
import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNotSame;
import static org.junit.jupiter.api.Assertions.assertSame;

import com.vormel.kx.platform.velksmartcard.VelkSCard;
import com.vormel.kx.testkit.Patience;
import com.vormel.kx.testkit.Pcsc;
import com.vormel.kx.testkit.PcscTexts;
import com.vormel.kx.testkit.VirtualCard;
import java.util.concurrent.Callable;
import java.util.concurrent.ExecutorService;
import java.util.concurrent.Executors;
import java.util.concurrent.Future;
import java.util.concurrent.TimeUnit;
import org.junit.jupiter.api.AfterEach;
import org.junit.jupiter.api.BeforeEach;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.Timeout;

/** Waiting for reader changes while the virtual card is removed and inserted. */
@Timeout(180)
class StatusChangeTest {
    private static final int EMPTY = VelkSCard.SCARD_STATE_EMPTY;
    private static final int PRESENT = VelkSCard.SCARD_STATE_PRESENT;
    private static final int CHANGED = VelkSCard.SCARD_STATE_CHANGED;

    private long context;
    private long waiterContext;
    // Daemon threads: a wait the bridge never ends must not keep the VM alive.
    private final ExecutorService waiter = Executors.newSingleThreadExecutor(r -> {
        Thread t = new Thread(r, "status-change-waiter");
        t.setDaemon(true);
        return t;
    });

    @BeforeEach
    void establish() throws Exception {
        context = Pcsc.establish();
        waiterContext = Pcsc.establish();
    }

    @AfterEach
    void release() throws Exception {
        waiter.shutdownNow();
        if ("removed".equals(VirtualCard.t1().control("status"))) {
            Pcsc.insertCard(context, VirtualCard.t1());
        }
        // A wait that a failed test left behind holds its context; releasing that one could
        // block too, so it is left to the end of the VM.
        if (waiter.awaitTermination(10, TimeUnit.SECONDS)) {
            Pcsc.releaseQuietly(waiterContext);
        }
        Pcsc.releaseQuietly(context);
    }

    @Test
    void aWaitingThreadSeesTheCardLeaveAndComeBack() throws Exception {
        String[] names = {VirtualCard.t1().reader()};
        int[] unaware = {VelkSCard.SCARD_STATE_UNAWARE};
        int[] first = VelkSCard.SCardGetStatusChange(waiterContext, 0, unaware, names);
        assertNotSame(unaware, first);
        assertEquals(PRESENT | CHANGED, first[0] & (PRESENT | EMPTY | CHANGED));
        assertArrayEquals(new int[] {VelkSCard.SCARD_STATE_UNAWARE}, unaware);

        // Told what it learned, the thread waits for a difference; the removal is one
        // whether it comes before or during the wait.
        int[] learned = {first[0] & ~CHANGED};
        Future<int[]> removal = waitInThread(Patience.MILLIS, learned, names);
        VirtualCard.t1().remove();
        int[] gone = removal.get(Patience.MILLIS * 2, TimeUnit.MILLISECONDS);
        assertNotSame(learned, gone);
        assertEquals(EMPTY | CHANGED, gone[0] & (PRESENT | EMPTY | CHANGED));
        assertEquals(first[0] & ~CHANGED, learned[0], "the current states are never written");

        // Without a limit the wait lasts until the card is back.
        int[] empty = {gone[0] & ~CHANGED};
        Future<int[]> insertion = waitInThread(VelkSCard.INFINITE, empty, names);
        Patience.assertStillBlocked(insertion, "the wait, before any change,");
        VirtualCard.t1().insert();
        int[] back = insertion.get(Patience.MILLIS * 2, TimeUnit.MILLISECONDS);
        assertEquals(PRESENT | CHANGED, back[0] & (PRESENT | EMPTY | CHANGED));
        assertEquals(gone[0] & ~CHANGED, empty[0]);
    }

    @Test
    void aShortWaitWithoutChangeReturnsTheSameArray() throws Exception {
        String[] names = {VirtualCard.t1().reader(), VirtualCard.t0().reader()};
        int[] now = VelkSCard.SCardGetStatusChange(context, 0, new int[2], names);
        int[] learned = {now[0] & ~CHANGED, now[1] & ~CHANGED};
        int[] copy = learned.clone();
        assertSame(learned, VelkSCard.SCardGetStatusChange(context, 50, learned, names));
        assertArrayEquals(copy, learned);
    }

    @Test
    void onlyTheLowHalfOfTheTimeoutCounts() throws Exception {
        String[] names = {VirtualCard.t1().reader()};
        int[] now = VelkSCard.SCardGetStatusChange(waiterContext, 0, new int[1], names);
        int[] learned = {now[0] & ~CHANGED};
        // 2^32 ms is a timeout of 0 to PC/SC: the answer is the timeout result at once. Were it
        // passed whole, the wait would outlast the test; it runs in the waiter thread so that
        // such a failure is reported instead of hanging.
        Future<int[]> wait = waitInThread(1L << 32, learned, names);
        assertSame(learned, wait.get(Patience.MILLIS, TimeUnit.MILLISECONDS));
    }

    @Test
    void thePnpNotificationNamePassesThroughUnchanged() throws Exception {
        int[] states = {VelkSCard.SCARD_STATE_UNAWARE};
        String[] pnp = {VelkSCard.PNP_NOTIFICATION};
        assertEquals("\\\\?PnP?\\Notification", pnp[0]);
        // With the readers as they are, PC/SC has nothing to report: the timeout result.
        assertSame(states, VelkSCard.SCardGetStatusChange(context, 50, states, pnp));
        assertArrayEquals(new int[] {VelkSCard.SCARD_STATE_UNAWARE}, states);
    }

    @Test
    void sixteenReadersAreAnsweredInOrder() throws Exception {
        String[] names = new String[16];
        for (int i = 0; i < names.length; i++) {
            names[i] = i % 2 == 0 ? VirtualCard.t1().reader() : VirtualCard.t0().reader();
        }
        int[] states = new int[16];
        int[] result = VelkSCard.SCardGetStatusChange(context, 0, states, names);
        assertEquals(16, result.length);
        for (int i = 0; i < result.length; i++) {
            assertEquals(PRESENT | CHANGED, result[i] & (PRESENT | EMPTY | CHANGED), "reader " + i);
        }
        assertArrayEquals(new int[16], states);
    }

    @Test
    void twoEmptyArraysGiveAnEmptyAnswer() throws Exception {
        int[] none = new int[0];
        int[] result = VelkSCard.SCardGetStatusChange(context, 0, none, new String[0]);
        assertNotSame(none, result);
        assertEquals(0, result.length);
    }

    @Test
    void badArgumentsAreRefusedWithoutWritingTheStates() {
        int[] states = {PRESENT, EMPTY};
        assertPcscFailure("SCardGetStatusChange failed with code " + PcscTexts.UNKNOWN_READER,
                () -> VelkSCard.SCardGetStatusChange(context, 0, states,
                        new String[] {VirtualCard.t1().reader(), "No Such Reader"}));
        assertFatal("readerCurrentStateArray size = 2. readerNameArray size = 1", 380,
                () -> VelkSCard.SCardGetStatusChange(
                        context, 0, states, new String[] {VirtualCard.t1().reader()}));
        assertFatal("s=NULL", 408, () -> VelkSCard.SCardGetStatusChange(
                context, 0, states, new String[] {VirtualCard.t1().reader(), null}));
        assertFatal("readerNameArray=NULL", 1041,
                () -> VelkSCard.SCardGetStatusChange(context, 0, states, null));
        assertFatal("readerCurrentStateArray=NULL", 1040,
                () -> VelkSCard.SCardGetStatusChange(
                        context, 0, null, new String[] {VirtualCard.t1().reader()}));
        assertArrayEquals(new int[] {PRESENT, EMPTY}, states);
    }

    private Future<int[]> waitInThread(long timeout, int[] states, String[] names) {
        Callable<int[]> wait =
                () -> VelkSCard.SCardGetStatusChange(waiterContext, timeout, states, names);
        return waiter.submit(wait);
    }
}
