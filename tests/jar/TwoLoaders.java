import java.lang.reflect.InvocationTargetException;
import java.net.URL;
import java.net.URLClassLoader;
import java.nio.file.Files;
import java.nio.file.Paths;
import java.util.Set;
import java.util.TreeSet;

/**
 * Loads the two public classes in two class loaders of one VM, as an application server with
 * two applications does, calls into each library from each loader, and reports one line per
 * outcome and per file each library is mapped from. run.sh reads the lines.
 *
 * <p>Usage: {@code TwoLoaders CLASSES}: the jar or directory that the loaders load from. The
 * probe itself is not on their path; their parent is the system class loader's parent (the
 * platform class loader, the extension class loader on Java 8).
 */
public final class TwoLoaders {
    public static void main(String[] args) throws Exception {
        URL classes = Paths.get(args[0]).toUri().toURL();
        for (int i = 1; i <= 2; i++) {
            ClassLoader loader = new URLClassLoader(new URL[] {classes},
                    ClassLoader.getSystemClassLoader().getParent());
            System.out.println("loader" + i + " scard: " + scard(loader));
            System.out.println("loader" + i + " reader: " + reader(loader));
        }
        for (String file : mappedLibraries()) {
            System.out.println("mapped " + file);
        }
    }

    // The outcome of establishing a context: the bridge's text when no daemon runs.
    private static String scard(ClassLoader loader) throws Exception {
        Class<?> bridge =
                Class.forName("com.vormel.kx.platform.velksmartcard.VelkSCard", true, loader);
        int scope = bridge.getField("SCARD_SCOPE_SYSTEM").getInt(null);
        try {
            bridge.getMethod("SCardEstablishContext", int.class).invoke(null, scope);
            return "context";
        } catch (InvocationTargetException e) {
            return e.getCause().getMessage();
        }
    }

    private static String reader(ClassLoader loader) throws Exception {
        Class<?> reader = Class.forName("velksdk.VelkReader", true, loader);
        return reader.getMethod("open").invoke(null) == null ? "none" : "opened";
    }

    // Every file that one of the libraries is mapped from, once each.
    private static Set<String> mappedLibraries() throws Exception {
        Set<String> found = new TreeSet<>();
        for (String line : Files.readAllLines(Paths.get("/proc/self/maps"))) {
            int slash = line.indexOf('/');
            if (slash >= 0) {
                String path = line.substring(slash);
                String file = Paths.get(path.replace(" (deleted)", "")).getFileName().toString();
                if (file.equals("libvelkscard.so") || file.equals("libvelkreader.so")) {
                    found.add(path);
                }
            }
        }
        return found;
    }
}
