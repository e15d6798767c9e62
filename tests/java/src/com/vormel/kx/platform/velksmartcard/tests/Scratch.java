package com.vormel.kx.platform.velksmartcard.tests;

import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;

/**
 * A temporary directory that remembers what was put into it and deletes exactly that. Listing
 * directories is not relied on: the 32-bit VM under qemu may list /tmp as empty, which defeats
 * JUnit's own temporary directories.
 */
final class Scratch implements AutoCloseable {
    private final Path root;
    private final List<Path> created = new ArrayList<>();

    Scratch() throws IOException {
        root = Files.createTempDirectory("velk-java-test");
    }

    Path root() {
        return root;
    }

    /** Records a path inside the directory, and its missing parents, for deletion. */
    Path track(Path path) throws IOException {
        Path parent = path.getParent();
        if (parent != null && !parent.equals(root) && !Files.exists(parent)) {
            track(parent);
            Files.createDirectory(parent);
        }
        if (!created.contains(path)) {
            created.add(path);
        }
        return path;
    }

    @Override
    public void close() throws IOException {
        for (int i = created.size() - 1; i >= 0; i--) {
            Files.deleteIfExists(created.get(i));
        }
        Files.deleteIfExists(root);
    }
}
