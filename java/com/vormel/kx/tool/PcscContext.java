package com.vormel.kx.tool;

import com.vormel.kx.platform.velksmartcard.VelkCardException;
import com.vormel.kx.platform.velksmartcard.VelkSCard;
import java.util.Arrays;

/** A PC/SC context of the system's resource manager, released on close. */
final class PcscContext implements AutoCloseable {
    final long handle;

    private PcscContext(long handle) {
        this.handle = handle;
    }

    static PcscContext establish() throws VelkCardException {
        return new PcscContext(VelkSCard.SCardEstablishContext(VelkSCard.SCARD_SCOPE_SYSTEM));
    }

    /** The readers PC/SC knows now; empty when there are none. */
    String[] readers() throws VelkCardException {
        String[] readers = VelkSCard.SCardListReaders(handle);
        return readers == null ? new String[0] : readers;
    }

    /**
     * The reader a command line names: its full name, or its number in {@code list}'s output.
     */
    String resolve(String given) throws CliException, VelkCardException {
        String[] readers = readers();
        if (readers.length == 0) {
            throw CliException.noReader("no readers");
        }
        if (Arrays.asList(readers).contains(given)) {
            return given;
        }
        if (given.matches("[0-9]{1,4}")) {
            int index = Integer.parseInt(given);
            if (index < readers.length) {
                return readers[index];
            }
        }
        throw CliException.noReader("unknown reader '" + given + "' (see the list command)");
    }

    /** The current state of each reader, without waiting. */
    int[] states(String[] readers) throws VelkCardException {
        if (readers.length == 0) {
            return new int[0];
        }
        return VelkSCard.SCardGetStatusChange(handle, 0, new int[readers.length], readers);
    }

    @Override
    public void close() throws VelkCardException {
        VelkSCard.SCardReleaseContext(handle);
    }
}
