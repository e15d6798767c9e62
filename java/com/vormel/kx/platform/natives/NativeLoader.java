package com.vormel.kx.platform.natives;

import java.io.File;
import java.io.IOException;
import java.io.InputStream;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.HashSet;
import java.util.Locale;
import java.util.Set;

/**
 * Loads the native libraries of this jar's classes. Internal: public only so that the
 * classes of other packages in this jar can reach it; not part of the API.
 *
 * <p>Where a library comes from, in this order:
 *
 * <ol>
 *   <li>the directory named by the system property {@value #PATH_PROPERTY}, when set (the file
 *       {@code lib<name>.so} there, loaded as it is, on any platform);
 *   <li>the jar's copy for the running VM's platform ({@code /natives/<platform>/lib<name>.so},
 *       platform {@code linux-x86_64} or {@code linux-x86}), copied into a new private
 *       directory under {@code java.io.tmpdir}, loaded, and deleted again at once;
 *   <li>on a supported platform whose copy is not in the jar (a development build),
 *       {@code java.library.path} through {@link System#loadLibrary}.
 * </ol>
 *
 * On any other platform the caller gets an {@link UnsatisfiedLinkError} that names the platform
 * and the property; when a library cannot be loaded, one that says what was tried.
 *
 * <p>Each class loader that loads these classes (an application server has several) loads its
 * own copy of each library: the VM lets only one class loader load a given file, so a loader
 * that finds the file from the property or the library path already taken loads a private copy
 * of it, made like the copy from the jar. Such copies are deleted as soon as they are loaded,
 * and otherwise when the VM exits.
 */
public final class NativeLoader {
    /** System property naming a directory that holds the native libraries to use instead. */
    public static final String PATH_PROPERTY = "velk.native.path";

    private static final Set<String> LOADED = new HashSet<>();

    private NativeLoader() {}

    /**
     * Loads the library {@code lib<name>.so} once per VM; later calls return at once.
     *
     * @param name the library's name without prefix and suffix, for example {@code velkscard}
     * @throws UnsatisfiedLinkError when the library cannot be found or loaded
     */
    public static void load(String name) {
        // One lock for all libraries: two classes initialising at once must neither load the
        // same library twice nor race for the property's or the jar's files.
        synchronized (LOADED) {
            if (LOADED.contains(name)) {
                return;
            }
            loadOnce(name);
            LOADED.add(name);
        }
    }

    private static void loadOnce(String name) {
        String file = System.mapLibraryName(name);
        String override = System.getProperty(PATH_PROPERTY);
        if (override != null && !override.isEmpty()) {
            loadFromDirectory(Paths.get(override).toAbsolutePath().resolve(file));
            return;
        }
        String platform = platform();
        if (platform == null) {
            throw new UnsatisfiedLinkError("velk: no native " + file + " for platform "
                + describePlatform() + "; supported are linux-x86_64 and linux-x86, or set -D"
                + PATH_PROPERTY + "=<directory holding " + file + ">");
        }
        String resource = "/natives/" + platform + "/" + file;
        InputStream in = NativeLoader.class.getResourceAsStream(resource);
        if (in == null) {
            loadFromLibraryPath(name, resource);
            return;
        }
        try (in) {
            extractAndLoad(in, file);
        } catch (UnsatisfiedLinkError e) {
            // Most often a java.io.tmpdir mounted noexec, or a system library missing.
            throw linkError("velk: cannot load this jar's " + resource + " (" + e.getMessage()
                    + "); set -D" + PATH_PROPERTY + "=<directory holding " + file
                    + "> or -Djava.io.tmpdir=<a directory that allows executables>",
                e);
        } catch (IOException e) {
            throw linkError("velk: cannot extract " + resource + " to "
                    + System.getProperty("java.io.tmpdir") + " (" + e + "); set -D" + PATH_PROPERTY
                    + "=<directory holding " + file + "> to load it from there",
                e);
        }
    }

    private static void loadFromDirectory(Path library) {
        if (!Files.isRegularFile(library)) {
            throw new UnsatisfiedLinkError(
                "velk: " + library + " does not exist (from -D" + PATH_PROPERTY + ")");
        }
        try {
            loadOrCopy(library);
        } catch (UnsatisfiedLinkError e) {
            throw linkError("velk: cannot load " + library + " (from -D" + PATH_PROPERTY
                    + "): " + e.getMessage(),
                e);
        }
    }

    private static void loadFromLibraryPath(String name, String resource) {
        try {
            System.loadLibrary(name);
        } catch (UnsatisfiedLinkError e) {
            // Found but taken by another class loader: this loader takes a copy.
            Path found = findOnLibraryPath(System.mapLibraryName(name));
            if (found != null) {
                try {
                    loadCopy(found);
                    return;
                } catch (UnsatisfiedLinkError copyError) {
                    e.addSuppressed(copyError);
                }
            }
            throw linkError("velk: this jar holds no " + resource + " and " + e.getMessage()
                    + "; set -D" + PATH_PROPERTY + "=<directory holding "
                    + System.mapLibraryName(name) + ">",
                e);
        }
    }

    private static Path findOnLibraryPath(String file) {
        for (String dir : System.getProperty("java.library.path", "").split(File.pathSeparator)) {
            Path candidate = Paths.get(dir.isEmpty() ? "." : dir, file);
            if (Files.isRegularFile(candidate)) {
                return candidate.toAbsolutePath();
            }
        }
        return null;
    }

    // The VM refuses a file that another class loader has loaded; a copy is a new file. When
    // the file fails for any other reason the copy fails alike, and the first error counts.
    private static void loadOrCopy(Path library) {
        try {
            System.load(library.toString());
        } catch (UnsatisfiedLinkError e) {
            try {
                loadCopy(library);
            } catch (UnsatisfiedLinkError copyError) {
                e.addSuppressed(copyError);
                throw e;
            }
        }
    }

    private static void loadCopy(Path library) {
        try (InputStream in = Files.newInputStream(library)) {
            extractAndLoad(in, library.getFileName().toString());
        } catch (IOException e) {
            throw linkError("velk: cannot copy " + library + " to "
                    + System.getProperty("java.io.tmpdir") + " (" + e + ")", e);
        }
    }

    // A new directory per library, readable by this user only and named at random, so that
    // no other user or VM can place or swap a file there; the copy goes once the VM has
    // mapped it, and nothing is left behind even when the VM is killed later.
    private static void extractAndLoad(InputStream in, String file) throws IOException {
        Path dir = Files.createTempDirectory("velk-");
        Path library = dir.resolve(file);
        // Should a deletion below fail, the VM tries again at exit, in the reverse order of
        // registration: the file, then its directory.
        dir.toFile().deleteOnExit();
        library.toFile().deleteOnExit();
        try {
            Files.copy(in, library);
            System.load(library.toString());
        } finally {
            deleteQuietly(library);
            deleteQuietly(dir);
        }
    }

    // A file that cannot be removed must not fail a load that worked.
    private static void deleteQuietly(Path path) {
        try {
            Files.deleteIfExists(path);
        } catch (IOException e) {
            // left to the VM's exit
        }
    }

    /** The jar's name for the running VM's platform, or null when the jar has none for it. */
    private static String platform() {
        String os = System.getProperty("os.name", "").toLowerCase(Locale.ROOT);
        String arch = System.getProperty("os.arch", "").toLowerCase(Locale.ROOT);
        if (!os.equals("linux")) {
            return null;
        }
        switch (arch) {
            case "amd64":
            case "x86_64":
                return "linux-x86_64";
            case "x86":
            case "i386":
            case "i486":
            case "i586":
            case "i686":
                return "linux-x86";
            case "aarch64":
                return "linux-aarch64";
            case "arm":
                return "linux-armhf";
            default:
                return null;
        }
    }

    private static String describePlatform() {
        return System.getProperty("os.name") + "/" + System.getProperty("os.arch");
    }

    private static UnsatisfiedLinkError linkError(String message, Throwable cause) {
        UnsatisfiedLinkError error = new UnsatisfiedLinkError(message);
        error.initCause(cause);
        return error;
    }
}
