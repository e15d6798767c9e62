package com.vormel.kx.platform.natives;

import java.util.Locale;

/**
 * Which of the jar's natives fit the running VM. The VM decides, not the kernel: a 32-bit VM on
 * a 64-bit kernel needs 32-bit libraries, and only the VM's own executable tells hard-float
 * from soft-float ARM.
 */
final class Platforms {
    static final String SUPPORTED = "Linux with glibc on x86_64, x86, aarch64 and armhf"
            + " (32-bit ARMv7 hard-float)";

    private Platforms() {}

    /**
     * The jar's directory of natives for this VM.
     *
     * @param osName the VM's {@code os.name}
     * @param osArch the VM's {@code os.arch}
     * @param dataModel the VM's {@code sun.arch.data.model}, "32" or "64"; may be null
     * @param vm the facts of the VM's executable; null when they cannot be read
     * @param hwcap the CPU's AT_HWCAP, or {@link ElfFacts#HWCAP_UNKNOWN}
     * @param file the library's file name, for the message
     * @return {@code linux-x86_64}, {@code linux-x86}, {@code linux-aarch64} or {@code
     *     linux-armhf}
     * @throws UnsatisfiedLinkError naming the platform, why the jar has nothing for it, what it
     *     supports and how to load a library built by the user
     */
    static String choose(
            String osName, String osArch, String dataModel, ElfFacts vm, long hwcap, String file) {
        String arch = osArch.toLowerCase(Locale.ROOT);
        String why = null;
        String platform = null;
        if (!osName.equalsIgnoreCase("linux")) {
            why = "not Linux";
        } else if (vm != null && vm.interpreter.contains("ld-musl")) {
            why = "musl C library, as on Alpine Linux: the natives need glibc";
        } else {
            switch (arch) {
                case "amd64":
                case "x86_64":
                    platform = wordSize(dataModel, "64", "linux-x86_64");
                    break;
                case "x86":
                case "i386":
                case "i486":
                case "i586":
                case "i686":
                    platform = wordSize(dataModel, "32", "linux-x86");
                    break;
                case "aarch64":
                case "arm64":
                    platform = wordSize(dataModel, "64", "linux-aarch64");
                    break;
                case "arm":
                case "armv7l":
                case "armhf":
                    why = arm32(vm, hwcap);
                    platform = why == null ? wordSize(dataModel, "32", "linux-armhf") : null;
                    break;
                default:
                    why = "an architecture this jar has no natives for";
                    break;
            }
            if (platform == null && why == null) {
                why = "a " + dataModel + "-bit VM";
            }
        }
        if (platform != null) {
            return platform;
        }
        throw new UnsatisfiedLinkError("velk: no native " + file + " for platform " + osName
                + "/" + osArch + " (" + why + "); this jar holds them for " + SUPPORTED
                + "; a library built for this platform loads with "
                + NativeLoader.pathSetting(file));
    }

    // Only a VM of the natives' word size can load them (no x32 or ILP32 VMs).
    private static String wordSize(String dataModel, String expected, String platform) {
        return dataModel == null || dataModel.isEmpty() || dataModel.equals(expected) ? platform
                                                                                       : null;
    }

    /** Why a 32-bit ARM VM cannot use the armhf natives; null when it can. */
    private static String arm32(ElfFacts vm, long hwcap) {
        if (vm == null) {
            return "cannot read the VM's executable to tell hard-float from soft-float";
        }
        if (vm.machine != ElfFacts.EM_ARM || vm.is64) {
            return "the VM's executable is no 32-bit ARM program";
        }
        if ((vm.flags & ElfFacts.EF_ARM_ABI_FLOAT_HARD) == 0) {
            return "soft-float ARM VM (armel)";
        }
        if (hwcap != ElfFacts.HWCAP_UNKNOWN && (hwcap & ElfFacts.HWCAP_ARM_VFPV3) == 0) {
            return "a CPU without VFPv3, such as ARMv6: the armhf natives need ARMv7";
        }
        return null;
    }
}
