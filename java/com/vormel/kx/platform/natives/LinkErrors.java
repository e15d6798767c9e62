package com.vormel.kx.platform.natives;

import java.util.regex.Matcher;
import java.util.regex.Pattern;

/**
 * Plain words for the VM's refusals to load a library: a system library that the natives need
 * and this machine lacks, and native access that the VM does not allow this jar (JDK 24 on).
 */
final class LinkErrors {
    static final String ENABLE_NATIVE_ACCESS = "--enable-native-access=ALL-UNNAMED";

    // The dynamic loader's text for a needed library it cannot find or open.
    private static final Pattern MISSING =
            Pattern.compile("(lib[^ :/]+\\.so[.0-9]*): cannot open shared object file");
    // The system libraries the natives need, and the packages that bring them.
    private static final String[][] PACKAGES = {
        {"libpcsclite.so.1", "libpcsclite1", "pcsc-lite-libs"},
        {"libhidapi-hidraw.so.0", "libhidapi-hidraw0", "hidapi"},
    };

    private LinkErrors() {}

    /**
     * Loads a library by its absolute path, with the refusals explained.
     *
     * @throws UnsatisfiedLinkError with {@link #explain}'s words when it explains the refusal,
     *     else the VM's own error
     */
    static void load(String path) {
        String file = path.substring(path.lastIndexOf('/') + 1);
        try {
            System.load(path);
        } catch (UnsatisfiedLinkError e) {
            throw explained(file, e);
        } catch (RuntimeException e) {
            throw refused(file, e);
        }
    }

    /** The same for a library that {@code java.library.path} is to provide. */
    static void loadLibrary(String name) {
        try {
            System.loadLibrary(name);
        } catch (UnsatisfiedLinkError e) {
            throw explained(System.mapLibraryName(name), e);
        } catch (RuntimeException e) {
            throw refused(System.mapLibraryName(name), e);
        }
    }

    /**
     * What the user can do about the VM's refusal to load {@code file}, or null when the
     * refusal is none of those this class knows.
     */
    static String explain(String file, Throwable refusal) {
        // IllegalCallerException, which Java 8 does not have: restricted native access.
        if (refusal.getClass().getName().equals("java.lang.IllegalCallerException")) {
            return "velk: Java refuses native access to this jar's code (" + refusal.getMessage()
                    + "); add " + ENABLE_NATIVE_ACCESS + " to the java command line (with the"
                    + " jar on the module path: --enable-native-access=<its module name>)";
        }
        String message = String.valueOf(refusal.getMessage());
        Matcher missing = MISSING.matcher(message);
        if (!(refusal instanceof UnsatisfiedLinkError) || !missing.find()) {
            return null;
        }
        String needed = missing.group(1);
        for (String[] p : PACKAGES) {
            if (p[0].equals(needed)) {
                return "velk: " + file + " needs " + needed + ", which is not installed: install"
                        + " the package " + p[1] + " (Debian, Ubuntu) or " + p[2]
                        + " (Fedora, RHEL)";
            }
        }
        return "velk: " + file + " needs " + needed + ", which is not installed (" + message
                + ")";
    }

    private static UnsatisfiedLinkError explained(String file, UnsatisfiedLinkError refusal) {
        String words = explain(file, refusal);
        return words == null ? refusal : NativeLoader.linkError(words, refusal);
    }

    // Only an explained exception becomes a link error; any other goes on as it is.
    private static RuntimeException refused(String file, RuntimeException refusal) {
        String words = explain(file, refusal);
        if (words == null) {
            return refusal;
        }
        throw NativeLoader.linkError(words, refusal);
    }
}
