package com.vormel.kx.platform.natives;

import java.io.File;
import java.io.IOException;
import java.io.InputStream;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.HashMap;
import java.util.HashSet;
import java.util.Map;
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
 *       platform {@code linux-x86_64}, {@code linux-x86}, {@code linux-aarch64} or {@code
 *       linux-armhf}, as the VM itself is built, whatever the kernel), copied into a new
 *       private directory under {@code java.io.tmpdir} (or another that allows executables
 *       when that one is mounted noexec), loaded, and deleted again at once;
 *   <li>on a supported platform whose copy is not in the jar (a development build),
 *       {@code java.library.path} through {@link System#loadLibrary}.
 * </ol>
 *
 * On any other platform the caller gets an {@link UnsatisfiedLinkError} that names the platform
 * and the property; when a library cannot be loaded, one that says why in the user's terms
 * where it can (a missing system library and its package, native access refused by the VM)
 * and otherwise what was tried. A library that failed once fails again with the same words.
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
    private static final Map<String, UnsatisfiedLinkError> FAILED = new HashMap<>();

    private NativeLoader() {}

    /**
     * Loads the library {@code lib<name>.so} once per VM; later calls return at once.
     *
     * @param name the library's name without prefix and suffix, for example {@code velkscard}
     * @throws UnsatisfiedLinkError when the library cannot be found or loaded, now or before
     */
    public static void load(String name) {
        // One lock for all libraries: two classes initialising at once must neither load the
        // same library twice nor race for the property's or the jar's files.
        synchronized (LOADED) {
            if (LOADED.contains(name)) {
                return;
            }
            UnsatisfiedLinkError failed = FAILED.get(name);
            if (failed != null) {
                throw linkError(failed.getMessage(), failed);
            }
            try {
                loadOnce(name);
            } catch (UnsatisfiedLinkError e) {
                FAILED.put(name, e);
                throw e;
            }
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
        ElfFacts vm = ElfFacts.ofRunningVm();
        String platform = Platforms.choose(System.getProperty("os.name", ""),
                System.getProperty("os.arch", ""), System.getProperty("sun.arch.data.model"), vm,
                vm == null ? ElfFacts.HWCAP_UNKNOWN : ElfFacts.hwcapOfRunningVm(vm.is64), file);
        String resource = "/natives/" + platform + "/" + file;
        InputStream in = NativeLoader.class.getResourceAsStream(resource);
        if (in == null) {
            loadFromLibraryPath(name, resource);
            return;
        }
        String instead = "set " + pathSetting(file)
                + " or -Djava.io.tmpdir=<a directory that allows executables>";
        try (InputStream copied = in) {
            PrivateCopy.load(copied, file);
        } catch (PrivateCopy.NoDirectory e) {
            throw linkError(
                    "velk: cannot load this jar's " + resource + ": " + e.getMessage() + "; "
                            + instead,
                    e);
        } catch (UnsatisfiedLinkError e) {
            throw explained(e) ? e
                               : linkError("velk: cannot load this jar's " + resource + " ("
                                       + e.getMessage() + "); " + instead,
                                       e);
        } catch (IOException e) {
            throw linkError("velk: cannot extract " + resource + " to "
                    + System.getProperty("java.io.tmpdir") + " (" + e + "); set " + pathSetting(file)
                    + " to load it from there",
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
            throw explained(e) ? e
                               : linkError("velk: cannot load " + library + " (from -D"
                                       + PATH_PROPERTY + "): " + e.getMessage(),
                                       e);
        }
    }

    private static void loadFromLibraryPath(String name, String resource) {
        try {
            LinkErrors.loadLibrary(name);
        } catch (UnsatisfiedLinkError e) {
            if (explained(e)) {
                throw e;
            }
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
                    + "; set " + pathSetting(System.mapLibraryName(name)),
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
            LinkErrors.load(library.toString());
        } catch (UnsatisfiedLinkError e) {
            if (explained(e)) {
                throw e;
            }
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
            PrivateCopy.load(in, library.getFileName().toString());
        } catch (IOException e) {
            throw linkError("velk: cannot copy " + library + " (" + e.getMessage() + ")", e);
        }
    }

    // Errors in the user's terms already say what to do; they go to the caller as they are.
    private static boolean explained(UnsatisfiedLinkError e) {
        return e.getMessage() != null && e.getMessage().startsWith("velk: ");
    }

    /** "-Dvelk.native.path=<directory holding FILE>", as the errors tell it. */
    static String pathSetting(String file) {
        return "-D" + PATH_PROPERTY + "=<directory holding " + file + ">";
    }

    static UnsatisfiedLinkError linkError(String message, Throwable cause) {
        UnsatisfiedLinkError error = new UnsatisfiedLinkError(message);
        error.initCause(cause);
        return error;
    }
}
