package com.vormel.kx.platform.velksmartcard.tests;

import com.vormel.kx.testkit.ChildProcess;
import java.io.IOException;
import java.io.InputStream;
import java.io.OutputStream;
import java.net.URISyntaxException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.Enumeration;
import java.util.List;
import java.util.zip.ZipEntry;
import java.util.zip.ZipFile;

/**
 * Runs a class in a child VM made from the same VM command as this one (property
 * velk.test.java, as CMake passes it; under qemu that includes the emulator), with the same
 * JNI checks and library path.
 */
final class ChildJvm {
    private ChildJvm() {}

    static ChildProcess.Result run(Scratch work, List<Path> classPath, String mainClass,
            String... args) throws IOException, InterruptedException {
        String vm = System.getProperty("velk.test.java");
        if (vm == null || vm.isBlank()) {
            throw new IllegalStateException("velk.test.java is not set");
        }
        List<String> command = new ArrayList<>(Arrays.asList(vm.split("\\|")));
        command.add("-Xcheck:jni");
        command.add("-XX:-CreateCoredumpOnCrash");
        command.add("-Djava.library.path=" + System.getProperty("java.library.path"));
        command.add("-cp");
        command.add(String.join(":", classPath.stream().map(Path::toString).toList()));
        command.add(mainClass);
        command.addAll(Arrays.asList(args));
        return ChildProcess.run(command, work.root());
    }

    /** The jar or directory that a class was loaded from. */
    static Path origin(Class<?> c) {
        try {
            return Path.of(c.getProtectionDomain().getCodeSource().getLocation().toURI());
        } catch (URISyntaxException e) {
            throw new IllegalStateException(e);
        }
    }

    /**
     * Unpacks the class files of a jar into a directory, leaving out the named entries: a class
     * path on which those classes are missing.
     */
    static Path unpackWithout(Path jar, Scratch work, String... omitted) throws IOException {
        Path dir = work.track(work.root().resolve("classes"));
        Files.createDirectory(dir);
        List<String> skip = Arrays.asList(omitted);
        try (ZipFile zip = new ZipFile(jar.toFile())) {
            Enumeration<? extends ZipEntry> entries = zip.entries();
            while (entries.hasMoreElements()) {
                ZipEntry entry = entries.nextElement();
                if (entry.isDirectory() || !entry.getName().endsWith(".class")
                        || skip.contains(entry.getName())) {
                    continue;
                }
                Path target = work.track(dir.resolve(entry.getName()));
                try (InputStream in = zip.getInputStream(entry);
                        OutputStream o = Files.newOutputStream(target)) {
                    in.transferTo(o);
                }
            }
        }
        return dir;
    }
}
