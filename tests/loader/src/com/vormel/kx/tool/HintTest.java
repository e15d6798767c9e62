package com.vormel.kx.tool;

import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.vormel.kx.platform.velksmartcard.VelkCardException;
import org.junit.jupiter.api.Test;

/** The tool's hints for PC/SC failures whose cause lies in the platform, on the bridge's texts. */
class HintTest {
    private static String hint(String call, String code) {
        return Main.hint(new VelkCardException(call + " failed with code " + code + " (text)"), null);
    }

    @Test
    void polkitRefusalAndVersionMismatchAreNamed() {
        assertTrue(hint("SCardConnect", "SCARD_W_SECURITY_VIOLATION")
                .startsWith("hint: pcscd's policy (polkit) does not allow this user"));
        assertTrue(hint("SCardEstablishContext", "SCARD_E_SERVICE_STOPPED")
                .contains("may be of different versions"));
        // Later, the daemon has stopped: no guess about versions.
        assertNull(hint("SCardTransmit", "SCARD_E_SERVICE_STOPPED"));
    }
}
