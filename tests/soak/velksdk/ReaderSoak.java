package velksdk;

import com.vormel.kx.soak.Soak;
import java.util.Arrays;

/**
 * A million receives through the reader library against the hidapi stand-in, in one VM: the
 * blocking receive loop (which skips timeouts and foreign reports until a card read comes), the
 * receive with a timeout, the wrapper's receive, and now and then a close and a new open. Fails
 * on a wrong result or when resident memory keeps growing through the second half of the run.
 *
 * <p>The stand-in must replay, endlessly, a script in which the only valid report carries
 * 01 02 03 (scripts/soak.sh writes it). Arguments: [calls] [limit KiB]; defaults 1000000 and
 * 1024.
 */
public final class ReaderSoak {
    private static final byte[] CARD = {1, 2, 3};
    private static final int REOPEN_EVERY = 1000;

    private ReaderSoak() {}

    public static void main(String[] args) {
        long calls = args.length > 0 ? Long.parseLong(args[0]) : 1_000_000;
        long limitKib = args.length > 1 ? Long.parseLong(args[1]) : 1024;
        Soak soak = new Soak("reader", calls, limitKib);
        byte[] data = new byte[3];
        long handle = open();
        VelkReader wrapper = VelkReader.open();
        check(wrapper != null, "the wrapper found no device");
        for (long n = 0; n < calls; n++) {
            Arrays.fill(data, (byte) 0);
            switch ((int) (n % 4)) {
                case 0 -> check(VelkReader.receiveW26Impl(handle, data)
                        && Arrays.equals(CARD, data), "blocking receive");
                case 1 -> {
                    int rc = VelkReader.receiveW26TImpl(handle, data, 1000);
                    check(rc == 0 || rc == 3 && Arrays.equals(CARD, data),
                            "receive with timeout gave " + rc);
                }
                case 2 -> {
                    int rc = wrapper.receive(data, 1000);
                    check(rc == 0 || rc == 3 && Arrays.equals(CARD, data),
                            "wrapper receive gave " + rc);
                }
                default -> {
                    if ((n / 4) % REOPEN_EVERY == 0) {
                        VelkReader.closeImpl(handle);
                        handle = open();
                        wrapper.close();
                        wrapper = VelkReader.open();
                        check(wrapper != null, "the wrapper found no device");
                    } else {
                        check(wrapper.receive(data) && Arrays.equals(CARD, data),
                                "wrapper's blocking receive");
                    }
                }
            }
            soak.step(n);
        }
        VelkReader.closeImpl(handle);
        wrapper.close();
        System.exit(soak.verdict() ? 0 : 1);
    }

    private static long open() {
        long handle = VelkReader.openImpl();
        check(handle != 0, "no device");
        return handle;
    }

    private static void check(boolean ok, String what) {
        if (!ok) {
            throw new AssertionError(what);
        }
    }
}
