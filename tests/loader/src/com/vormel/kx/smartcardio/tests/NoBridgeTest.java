package com.vormel.kx.smartcardio.tests;

import static org.junit.jupiter.api.Assertions.assertDoesNotThrow;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.vormel.kx.smartcardio.VelkProvider;
import javax.smartcardio.CardException;
import javax.smartcardio.TerminalFactory;
import org.junit.jupiter.api.Test;

/**
 * A VM whose bridge cannot load (started with velk.native.path at an empty directory, as the
 * other refusals of the loader would leave it) and with the provider selected by the security
 * properties: the provider stays selected and each call says why it cannot work.
 */
class NoBridgeTest {
    @Test
    void everyRouteKeepsVelkAndItsCallsCarryTheLoadersWords() {
        String expected = "libvelkscard.so does not exist (from -Dvelk.native.path)";
        TerminalFactory byDefault = TerminalFactory.getDefault();
        assertEquals("Velk", byDefault.getProvider().getName());
        TerminalFactory named = assertDoesNotThrow(
                () -> TerminalFactory.getInstance("PC/SC", null, new VelkProvider()));
        for (TerminalFactory factory : new TerminalFactory[] {byDefault, named}) {
            CardException e = assertThrows(CardException.class,
                    () -> factory.terminals().list());
            assertTrue(e.getMessage().startsWith("velk: ") && e.getMessage().endsWith(expected),
                    e.getMessage());
        }
    }
}
