package com.vormel.kx.platform.natives;

import java.io.IOException;
import java.io.InputStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.ArrayList;
import java.util.LinkedHashSet;
import java.util.List;
import java.util.Set;

/**
 * Loads a library from a copy in a new directory of this VM's own, deleted again as soon as the
 * VM has mapped it. The copy goes to {@code java.io.tmpdir}, or when that is mounted noexec
 * (hardened systems mount /tmp so) to the first of /var/tmp, /dev/shm and ~/.cache that allows
 * executables.
 */
final class PrivateCopy {
    private PrivateCopy() {}

    /** Thrown when no candidate directory can hold an executable copy. */
    static final class NoDirectory extends IOException {
        private static final long serialVersionUID = 1L;

        NoDirectory(String tried) {
            super("no directory for it allows executables (" + tried + ")");
        }
    }

    /**
     * Copies the stream to a private file named {@code file} and loads it.
     *
     * @throws NoDirectory when every candidate is noexec or cannot be written
     * @throws IOException when the copy fails
     * @throws UnsatisfiedLinkError when the copy does not load
     */
    static void load(InputStream in, String file) throws IOException {
        String mounts = mountTable();
        List<String> tried = new ArrayList<>();
        for (Path dir : candidates()) {
            if (!Files.isDirectory(dir)) {
                continue;
            }
            if (Mounts.noexec(mounts, dir.toRealPath().toString())) {
                tried.add(dir + " is mounted noexec");
                continue;
            }
            Path own;
            try {
                own = Files.createTempDirectory(dir, "velk-");
            } catch (IOException e) {
                tried.add(dir + ": " + e);
                continue;
            }
            loadFrom(own, in, file);
            return;
        }
        throw new NoDirectory(String.join("; ", tried));
    }

    // A new directory per library, readable by this user only and named at random, so that
    // no other user or VM can place or swap a file there; the copy goes once the VM has
    // mapped it, and nothing is left behind even when the VM is killed later.
    private static void loadFrom(Path dir, InputStream in, String file) throws IOException {
        Path library = dir.resolve(file);
        // Should a deletion below fail, the VM tries again at exit, in the reverse order of
        // registration: the file, then its directory.
        dir.toFile().deleteOnExit();
        library.toFile().deleteOnExit();
        try {
            Files.copy(in, library);
            LinkErrors.load(library.toString());
        } finally {
            deleteQuietly(library);
            deleteQuietly(dir);
        }
    }

    private static Set<Path> candidates() {
        Set<Path> dirs = new LinkedHashSet<>();
        dirs.add(Paths.get(System.getProperty("java.io.tmpdir")).toAbsolutePath());
        dirs.add(Paths.get("/var/tmp"));
        dirs.add(Paths.get("/dev/shm"));
        String home = System.getProperty("user.home");
        if (home != null && !home.isEmpty() && !home.equals("?")) {
            dirs.add(Paths.get(home, ".cache"));
        }
        return dirs;
    }

    // Empty where there is no such table: every directory then counts as allowing executables.
    private static String mountTable() {
        try {
            return new String(Files.readAllBytes(Paths.get("/proc/self/mountinfo")),
                    StandardCharsets.UTF_8);
        } catch (IOException | RuntimeException e) {
            return "";
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
}
