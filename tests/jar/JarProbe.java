import com.vormel.kx.platform.velksmartcard.VelkCardException;
import com.vormel.kx.platform.velksmartcard.VelkSCard;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.ArrayList;
import java.util.List;
import java.util.Map;
import java.util.TreeMap;
import velksdk.VelkReader;

/**
 * Runs in a VM next to the distribution jar and reports, one line each, what became of the two
 * libraries: the outcome of a call into each, the file each was mapped from (as the kernel sees
 * it), and whether that file's directory still exists. run.sh reads the lines.
 *
 * <p>Usage: {@code JarProbe [SYNC_DIR NAME]}: with a sync directory the probe announces itself
 * with NAME.ready there and waits for a file named go before touching either class, so that
 * two VMs load at the same moment.
 */
public final class JarProbe {
    public static void main(String[] args) throws Exception {
        if (args.length == 2) {
            Path sync = Paths.get(args[0]);
            Files.createFile(sync.resolve(args[1] + ".ready"));
            long deadline = System.nanoTime() + 300_000_000_000L;
            while (!Files.exists(sync.resolve("go"))) {
                if (System.nanoTime() > deadline) {
                    throw new IllegalStateException("no go signal");
                }
                Thread.sleep(5);
            }
        }
        // Both classes initialise at once, as in a program whose threads use both.
        List<String> out = new ArrayList<>();
        Thread card = new Thread(() -> record(out, "scard", JarProbe::scard));
        Thread reader = new Thread(() -> record(out, "reader", JarProbe::reader));
        card.start();
        reader.start();
        card.join();
        reader.join();
        out.forEach(System.out::println);
        for (Map.Entry<String, String> lib : mappedLibraries().entrySet()) {
            Path file = Paths.get(lib.getValue());
            System.out.println("mapped " + lib.getKey() + ": " + lib.getValue());
            System.out.println(
                "dir-exists " + lib.getKey() + ": " + Files.exists(file.getParent()));
        }
    }

    private interface Call {
        String run() throws Exception;
    }

    private static void record(List<String> out, String name, Call call) {
        String line;
        try {
            line = name + ": " + call.run();
        } catch (Throwable t) {
            line = name + "-error: " + t;
        }
        synchronized (out) {
            out.add(line);
        }
    }

    private static String scard() {
        try {
            long ctx = VelkSCard.SCardEstablishContext(VelkSCard.SCARD_SCOPE_SYSTEM);
            VelkSCard.SCardReleaseContext(ctx);
            return "context";
        } catch (VelkCardException e) {
            return e.getMessage();
        }
    }

    private static String reader() {
        try (VelkReader r = VelkReader.open()) {
            return r == null ? "none" : "opened";
        }
    }

    // Library name (libvelkscard, libvelkreader) to the path it is mapped from; the kernel
    // appends " (deleted)" once the file is gone, which the reading keeps.
    private static Map<String, String> mappedLibraries() throws Exception {
        Map<String, String> found = new TreeMap<>();
        for (String line : Files.readAllLines(Paths.get("/proc/self/maps"))) {
            int slash = line.indexOf('/');
            if (slash < 0) {
                continue;
            }
            String path = line.substring(slash);
            String file = Paths.get(path.replace(" (deleted)", "")).getFileName().toString();
            if (file.equals("libvelkscard.so") || file.equals("libvelkreader.so")) {
                found.put(file.substring(0, file.length() - 3), path);
            }
        }
        return found;
    }
}
