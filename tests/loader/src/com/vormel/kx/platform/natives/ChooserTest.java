package com.vormel.kx.platform.natives;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import org.junit.jupiter.api.Test;

/**
 * The natives' choice for VMs this host cannot run (the real x86_64, x86, aarch64 and armhf VMs
 * are run by the jar's and the platform tests), and the loader's words for refusals.
 */
class ChooserTest {
    private static final long ARMV7_CPU = ElfFacts.HWCAP_ARM_VFPV3 | 0x1FFF;
    private static final ElfFacts ARMHF_VM = new ElfFacts(false, ElfFacts.EM_ARM,
            0x05000000 | ElfFacts.EF_ARM_ABI_FLOAT_HARD, "/lib/ld-linux-armhf.so.3");

    private static String choose(String arch, String model, ElfFacts vm, long hwcap) {
        return Platforms.choose("Linux", arch, model, vm, hwcap, "libvelkscard.so");
    }

    private static void assertRefused(String why, String arch, ElfFacts vm, long hwcap) {
        String message = assertThrows(UnsatisfiedLinkError.class,
                () -> choose(arch, "32", vm, hwcap)).getMessage();
        assertTrue(message.startsWith("velk: no native libvelkscard.so for platform Linux/" + arch
                + " (" + why), message);
        assertTrue(message.contains(Platforms.SUPPORTED), message);
        assertTrue(message.endsWith(
                "-Dvelk.native.path=<directory holding libvelkscard.so>"), message);
    }

    @Test
    void theRunningVmAndTheArmVmsAreChosenByTheVmNotTheKernel() {
        // The build's target names what the VM that runs this needs.
        ElfFacts self = ElfFacts.ofRunningVm();
        assertTrue(self.interpreter.contains("/ld-linux"), self.interpreter);
        assertEquals(System.getProperty("velk.test.platform"), choose(
                System.getProperty("os.arch"), System.getProperty("sun.arch.data.model"), self,
                ElfFacts.hwcapOfRunningVm(self.is64)));
        // A 32-bit ARM VM on an aarch64 kernel (os.arch says arm either way).
        assertEquals("linux-armhf", choose("arm", "32", ARMHF_VM, ARMV7_CPU));
        assertEquals("linux-armhf", choose("arm", "32", ARMHF_VM, ElfFacts.HWCAP_UNKNOWN));
    }

    @Test
    void unsupportedVmsGetOneErrorThatSaysWhatToDo() {
        ElfFacts armel = new ElfFacts(false, ElfFacts.EM_ARM, 0x05000200, "/lib/ld-linux.so.3");
        assertRefused("soft-float ARM VM (armel)", "arm", armel, ARMV7_CPU);
        // ARMv6 (the first Raspberry Pi): hard-float, but no VFPv3.
        assertRefused("a CPU without VFPv3, such as ARMv6", "arm", ARMHF_VM, 0x1FFF);
        ElfFacts musl = new ElfFacts(true, ElfFacts.EM_X86_64, 0, "/lib/ld-musl-x86_64.so.1");
        assertRefused("musl C library, as on Alpine Linux", "amd64", musl, -1);
        assertRefused("an architecture this jar has no natives for", "riscv64", null, -1);
        assertRefused("a 32-bit VM", "aarch64", null, -1);
    }

    @Test
    void refusalsOfTheVmAreExplainedInTheUsersTerms() {
        // What JDK 24 and later throw from System.load under --illegal-native-access=deny.
        String denied = LinkErrors.explain("libvelkscard.so",
                new IllegalCallerException("Illegal native access from: unnamed module @1b6d3586"));
        assertTrue(denied.contains("add --enable-native-access=ALL-UNNAMED to the java command"),
                denied);
        assertTrue(denied.contains("unnamed module @1b6d3586"), denied);
        assertEquals("velk: libvelkreader.so needs libhidapi-hidraw.so.0, which is not installed:"
                + " install the package libhidapi-hidraw0 (Debian, Ubuntu) or hidapi (Fedora, RHEL)",
                LinkErrors.explain("libvelkreader.so", new UnsatisfiedLinkError("/t/velk-1/"
                        + "libvelkreader.so: libhidapi-hidraw.so.0: cannot open shared object file:"
                        + " No such file or directory")));
        assertNull(LinkErrors.explain("libvelkscard.so", new UnsatisfiedLinkError(
                "/t/libvelkscard.so: wrong ELF class: ELFCLASS32")));
    }
}
