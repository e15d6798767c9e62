package com.vormel.kx.smartcardio;

import com.vormel.kx.platform.velksmartcard.VelkCardException;
import com.vormel.kx.platform.velksmartcard.VelkSCard;

/** The names of the readers that PC/SC knows now. */
final class ReaderNames {
    // A list that keeps changing between PC/SC's size query and its fetch this often is a
    // fault of the daemon rather than a busy bus.
    private static final int ATTEMPTS = 16;
    private static final String[] NONE = {};

    private ReaderNames() {}

    /** The reader names, empty when there is no reader. */
    static String[] list(ContextHolder contexts) throws VelkCardException {
        for (int attempt = 1; ; ++attempt) {
            try {
                String[] names = contexts.call(VelkSCard::SCardListReaders);
                return names == null ? NONE : names;
            } catch (VelkCardException e) {
                // The list grew between the size query and the fetch: list again.
                if (e.getErrorCode() != Failures.SCARD_E_INSUFFICIENT_BUFFER
                        || attempt == ATTEMPTS) {
                    throw e;
                }
            }
        }
    }
}
