package velksdk;

import java.util.concurrent.TimeUnit;

/**
 * The Wiegand-26 USB HID card reader (USB vendor 0xFFFF, product 0x0001).
 *
 * <p>A card read is three data bytes, stored in {@code data[0..2]} of the caller's array; the
 * rest of the array and, when no read is delivered, the whole array are left untouched. Outcomes
 * are return values, never exceptions.
 *
 * <pre>{@code
 * try (VelkReader reader = VelkReader.open()) {
 *     if (reader == null) return;          // no reader attached
 *     byte[] card = new byte[3];
 *     if (reader.receive(card)) { ... }    // blocks until a card is read
 * }
 * }</pre>
 *
 * <p>Every wait runs in attempts of at most one second. Any thread may close the reader, also
 * while another thread waits in a receive, however long its timeout: close then waits for the
 * current attempt, at most about one second, and the waiting receive returns false or -1. Any
 * number of threads may open readers at the same time.
 */
public final class VelkReader implements AutoCloseable {
    static {
        com.vormel.kx.platform.natives.NativeLoader.load("velkreader");
    }

    /** Longest single attempt of a receive, in milliseconds. */
    static final int ATTEMPT_MILLIS = 1000;

    private static final int DATA_BYTES = 3;

    // Held across each native call on the handle, so close never frees a reader in use.
    private final Object nativeLock = new Object();
    // 0 once closed; the native handle is freed memory from then on.
    private long handle;
    // Set by close before it waits for the lock, so that blocking receives stop looping.
    private volatile boolean closing;

    private VelkReader(long handle) {
        this.handle = handle;
    }

    /**
     * Opens the first attached reader.
     *
     * @return the open reader, or null when none is attached or it cannot be opened
     */
    public static VelkReader open() {
        long handle = openImpl();
        return handle == 0 ? null : new VelkReader(handle);
    }

    /**
     * Waits without limit for a card read.
     *
     * @param data receives the three data bytes in {@code data[0..2]}
     * @return true when a card was read; false when the reader failed (for instance it was
     *     unplugged), when the reader is or gets closed, or when {@code data} is null or shorter
     *     than 3 bytes
     */
    public boolean receive(byte[] data) {
        if (data == null || data.length < DATA_BYTES) {
            return false;
        }
        while (!closing) {
            int rc = attempt(data, ATTEMPT_MILLIS);
            if (rc != 0) {
                return rc == DATA_BYTES;
            }
        }
        return false;
    }

    /**
     * Waits at most {@code timeoutMillis} for a card read; 0 only polls, a negative timeout waits
     * without limit like {@link #receive(byte[])}.
     *
     * @param data receives the three data bytes in {@code data[0..2]}
     * @param timeoutMillis the longest wait in milliseconds
     * @return 3 when a card was read; 0 when none was read in time; -1 when the reader failed,
     *     is or gets closed, or when {@code data} is null or shorter than 3 bytes
     */
    public int receive(byte[] data, int timeoutMillis) {
        if (data == null || data.length < DATA_BYTES) {
            return -1;
        }
        if (timeoutMillis < 0) {
            return receive(data) ? DATA_BYTES : -1;
        }
        long deadline = System.nanoTime() + TimeUnit.MILLISECONDS.toNanos(timeoutMillis);
        long left = timeoutMillis;
        do {
            int rc = attempt(data, (int) Math.min(left, ATTEMPT_MILLIS));
            if (rc != 0) {
                return rc;
            }
            if (closing) {
                return -1;
            }
            left = TimeUnit.NANOSECONDS.toMillis(deadline - System.nanoTime());
        } while (left > 0);
        return 0;
    }

    /** Closes the reader; later receives return false or -1. Closing again does nothing. */
    @Override
    public void close() {
        closing = true;
        synchronized (nativeLock) {
            if (handle == 0) {
                return;
            }
            long h = handle;
            handle = 0;
            closeImpl(h);
        }
    }

    private int attempt(byte[] data, int timeoutMillis) {
        synchronized (nativeLock) {
            if (handle == 0) {
                return -1;
            }
            return receiveW26TImpl(handle, data, timeoutMillis);
        }
    }

    // The natives leave the Java copy of a handle alone; callers must forget it after closeImpl.
    static native long openImpl();

    static native void closeImpl(long handle);

    static native boolean receiveW26Impl(long handle, byte[] data);

    static native int receiveW26TImpl(long handle, byte[] data, int timeout);
}
