package com.vormel.kx.platform.natives;

import java.io.IOException;
import java.io.RandomAccessFile;
import java.nio.ByteBuffer;
import java.nio.ByteOrder;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Paths;

/**
 * What the running VM's own executable and its process tell about the platform that no system
 * property does: the VM's ELF class, machine and flags, its program interpreter (the C
 * library's dynamic loader), and the CPU's capabilities from the auxiliary vector.
 */
final class ElfFacts {
    static final int EM_386 = 3;
    static final int EM_ARM = 40;
    static final int EM_X86_64 = 62;
    static final int EM_AARCH64 = 183;
    /** ARM e_flags: the executable passes floating-point arguments in VFP registers. */
    static final int EF_ARM_ABI_FLOAT_HARD = 0x400;
    /** 32-bit ARM AT_HWCAP: VFPv3, which ARMv7 hard-float code (Debian's armhf) requires. */
    static final long HWCAP_ARM_VFPV3 = 1L << 13;
    /** No auxiliary vector could be read; nothing is known about the CPU. */
    static final long HWCAP_UNKNOWN = -1;

    private static final int AT_HWCAP = 16;
    private static final int PT_INTERP = 3;
    private static final int MAX_INTERPRETER = 4096;

    final boolean is64;
    final int machine;
    final int flags;
    /** The program interpreter's path, empty for a static executable. */
    final String interpreter;

    ElfFacts(boolean is64, int machine, int flags, String interpreter) {
        this.is64 = is64;
        this.machine = machine;
        this.flags = flags;
        this.interpreter = interpreter;
    }

    /** The facts of the running VM's executable, or null when they cannot be read. */
    static ElfFacts ofRunningVm() {
        try (RandomAccessFile exe = new RandomAccessFile("/proc/self/exe", "r")) {
            return read(exe);
        } catch (IOException | RuntimeException e) {
            return null;
        }
    }

    /** The CPU's AT_HWCAP for a process of this word size, or {@link #HWCAP_UNKNOWN}. */
    static long hwcapOfRunningVm(boolean is64) {
        try {
            return hwcap(Files.readAllBytes(Paths.get("/proc/self/auxv")), is64);
        } catch (IOException | RuntimeException e) {
            return HWCAP_UNKNOWN;
        }
    }

    static ElfFacts read(RandomAccessFile file) throws IOException {
        byte[] ident = new byte[16];
        file.readFully(ident);
        if (ident[0] != 0x7F || ident[1] != 'E' || ident[2] != 'L' || ident[3] != 'F') {
            throw new IOException("not an ELF file");
        }
        boolean is64 = ident[4] == 2;
        ByteOrder order = ident[5] == 2 ? ByteOrder.BIG_ENDIAN : ByteOrder.LITTLE_ENDIAN;
        ByteBuffer header = at(file, 0, is64 ? 64 : 52, order);
        int machine = header.getShort(18) & 0xFFFF;
        long phoff = is64 ? header.getLong(32) : header.getInt(28) & 0xFFFFFFFFL;
        int flags = header.getInt(is64 ? 48 : 36);
        int phentsize = header.getShort(is64 ? 54 : 42) & 0xFFFF;
        int phnum = header.getShort(is64 ? 56 : 44) & 0xFFFF;
        String interpreter = "";
        for (int i = 0; i < phnum; i++) {
            ByteBuffer ph = at(file, phoff + (long) i * phentsize, is64 ? 56 : 32, order);
            if (ph.getInt(0) != PT_INTERP) {
                continue;
            }
            long offset = is64 ? ph.getLong(8) : ph.getInt(4) & 0xFFFFFFFFL;
            long size = is64 ? ph.getLong(32) : ph.getInt(16) & 0xFFFFFFFFL;
            ByteBuffer path = at(file, offset, (int) Math.min(size, MAX_INTERPRETER), order);
            interpreter = new String(path.array(), StandardCharsets.ISO_8859_1).replace("\0", "");
        }
        return new ElfFacts(is64, machine, flags, interpreter);
    }

    /** AT_HWCAP from the bytes of /proc/self/auxv: pairs of words, type then value. */
    static long hwcap(byte[] auxv, boolean is64) {
        ByteBuffer words = ByteBuffer.wrap(auxv).order(ByteOrder.nativeOrder());
        int size = is64 ? 8 : 4;
        for (int at = 0; at + 2 * size <= auxv.length; at += 2 * size) {
            long type = is64 ? words.getLong(at) : words.getInt(at) & 0xFFFFFFFFL;
            if (type == AT_HWCAP) {
                return is64 ? words.getLong(at + size) : words.getInt(at + size) & 0xFFFFFFFFL;
            }
        }
        return HWCAP_UNKNOWN;
    }

    private static ByteBuffer at(RandomAccessFile file, long offset, int length, ByteOrder order)
            throws IOException {
        byte[] bytes = new byte[length];
        file.seek(offset);
        file.readFully(bytes);
        return ByteBuffer.wrap(bytes).order(order);
    }
}
