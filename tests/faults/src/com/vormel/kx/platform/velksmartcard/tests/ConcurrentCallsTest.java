package com.vormel.kx.platform.velksmartcard.tests;

import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.vormel.kx.platform.velksmartcard.VelkSCard;
import com.vormel.kx.testkit.Patience;
import com.vormel.kx.testkit.Pcsc;
import com.vormel.kx.testkit.VirtualCard;
import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.Callable;
import java.util.concurrent.ExecutorService;
import java.util.concurrent.Executors;
import java.util.concurrent.Future;
import java.util.concurrent.TimeUnit;
import org.junit.jupiter.api.AfterEach;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.Timeout;

/**
 * Threads that each own a context and a connection run side by side; two of them sit in calls
 * that block. Call counts come from the property velk.faults.calls (per thread; the 32-bit VM
 * under an emulator runs fewer).
 */
@Timeout(3600)
class ConcurrentCallsTest {
    private static final int CALLS = Integer.getInteger("velk.faults.calls", 10_000);
    // A budget for work, not a wait for a change: the calls of eight threads, interpreted
    // under qemu on a loaded machine.
    private static final long WORK_BUDGET_S = 600;

    private final ExecutorService threads = Executors.newCachedThreadPool(r -> {
        Thread t = new Thread(r);
        t.setDaemon(true);
        return t;
    });

    @AfterEach
    void stopThreads() {
        threads.shutdownNow();
    }

    @Test
    void eightThreadsMakeMixedCallsWithoutAFailure() throws Exception {
        // PC/SC lite's client finds its daemon's socket name on its first call without a lock:
        // first calls from several threads at once may miss it (SCARD_E_NO_SERVICE).
        Pcsc.releaseQuietly(Pcsc.establish());
        List<Future<Void>> done = new ArrayList<>();
        for (int i = 0; i < 8; i++) {
            int index = i;
            done.add(threads.submit(() -> {
                // Half on each card, so both protocols and both readers are busy at once.
                try (MixedCalls calls = index % 2 == 0 ? MixedCalls.t1() : MixedCalls.t0()) {
                    for (long n = 0; n < CALLS; n++) {
                        calls.call(n + index);
                    }
                }
                return null;
            }));
        }
        for (Future<Void> f : done) {
            f.get(WORK_BUDGET_S, TimeUnit.SECONDS);
        }
    }

    @Test
    void callsBlockedInAStatusWaitAndATransactionHoldUpNoOtherThread() throws Exception {
        String reader2 = VirtualCard.t0().reader();
        long holderContext = Pcsc.establish();
        long waiterContext = Pcsc.establish();
        long watcherContext = Pcsc.establish();
        try {
            long holder = Pcsc.connect(holderContext, reader2);
            long waiter = Pcsc.connect(waiterContext, reader2);
            VelkSCard.SCardBeginTransaction(holder);
            // The state the watcher waits to see change; nothing touches reader 2 meanwhile.
            String[] watched = {reader2};
            int[] known = VelkSCard.SCardGetStatusChange(watcherContext, 0, new int[1], watched);
            known[0] &= ~VelkSCard.SCARD_STATE_CHANGED;

            Future<int[]> watch = submitNamed("watcher", () -> VelkSCard.SCardGetStatusChange(
                    watcherContext, VelkSCard.INFINITE, known, watched));
            Future<Void> begin = submitNamed("transaction", () -> {
                VelkSCard.SCardBeginTransaction(waiter);
                return null;
            });
            Thread watcher = awaitInNative("watcher", "SCardGetStatusChange");
            Thread transaction = awaitInNative("transaction", "SCardBeginTransaction");

            // Others work on reader 1, each with its own context, while both stay blocked.
            List<Future<Void>> workers = new ArrayList<>();
            for (int i = 0; i < 6; i++) {
                int index = i;
                workers.add(threads.submit(() -> {
                    try (MixedCalls calls = MixedCalls.t1()) {
                        for (long n = 0; n < CALLS / 10; n++) {
                            calls.call(n + index);
                        }
                    }
                    return null;
                }));
            }
            for (Future<Void> f : workers) {
                f.get(WORK_BUDGET_S, TimeUnit.SECONDS);
            }
            assertFalse(watch.isDone(), "the status wait returned before reader 2 changed");
            assertFalse(begin.isDone(), "the transaction began while the card was held");
            assertTrue(inNative(watcher, "SCardGetStatusChange"));
            assertTrue(inNative(transaction, "SCardBeginTransaction"));

            // Freeing them: the holder ends, then reader 2's card leaves.
            VelkSCard.SCardEndTransaction(holder, VelkSCard.SCARD_LEAVE_CARD);
            begin.get(Patience.MILLIS, TimeUnit.MILLISECONDS);
            VelkSCard.SCardEndTransaction(waiter, VelkSCard.SCARD_LEAVE_CARD);
            VirtualCard.t0().remove();
            watch.get(Patience.MILLIS, TimeUnit.MILLISECONDS);
            VirtualCard.t0().insert();
            Pcsc.awaitReaderState(holderContext, reader2, VelkSCard.SCARD_STATE_PRESENT);
        } finally {
            Pcsc.releaseQuietly(watcherContext);
            Pcsc.releaseQuietly(waiterContext);
            Pcsc.releaseQuietly(holderContext);
        }
    }

    private <T> Future<T> submitNamed(String name, Callable<T> body) {
        return threads.submit(() -> {
            Thread.currentThread().setName(name);
            return body.call();
        });
    }

    /** Waits until the named thread is inside the given native method. */
    private static Thread awaitInNative(String name, String method) throws Exception {
        return Patience.await(() -> "thread " + name + " never entered " + method,
                () -> Thread.getAllStackTraces().keySet().stream()
                        .filter(t -> t.getName().equals(name) && inNative(t, method))
                        .findFirst().orElse(null));
    }

    private static boolean inNative(Thread t, String method) {
        StackTraceElement[] stack = t.getStackTrace();
        return stack.length > 0 && stack[0].isNativeMethod()
                && stack[0].getMethodName().equals(method)
                && stack[0].getClassName().equals(VelkSCard.class.getName());
    }

}
