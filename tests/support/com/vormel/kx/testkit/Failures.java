package com.vormel.kx.testkit;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertThrows;

import com.vormel.kx.platform.velksmartcard.VelkCardException;
import com.vormel.kx.platform.velksmartcard.VelkCardFatalException;
import org.junit.jupiter.api.function.Executable;

/** Checks of the two ways a bridge call fails, as Java sees them. */
public final class Failures {
    private Failures() {}

    /** A PC/SC error code: exactly prefix + text, no cause. */
    public static VelkCardException assertPcscFailure(String expectedMessage, Executable call) {
        VelkCardException e = assertThrows(VelkCardException.class, call);
        assertEquals(expectedMessage, e.getMessage());
        assertNull(e.getCause(), "a PC/SC failure carries no cause");
        return e;
    }

    /** A fatal failure of the bridge without a Java cause: message, then the site's line. */
    public static VelkCardFatalException assertFatal(String message, int line, Executable call) {
        VelkCardFatalException e = assertThrows(VelkCardFatalException.class, call);
        assertEquals(message + " (line=" + line + ")", e.getMessage());
        assertNull(e.getCause(), "no Java exception caused this failure");
        return e;
    }

    /** A fatal failure caused by a Java exception that was pending after a JNI call. */
    public static VelkCardFatalException assertFatalCausedBy(
            Class<? extends Throwable> cause, int line, Executable call) {
        VelkCardFatalException e = assertThrows(VelkCardFatalException.class, call);
        assertEquals("JNI exception occurred (line=" + line + ")", e.getMessage());
        assertEquals(cause, e.getCause() == null ? null : e.getCause().getClass());
        return e;
    }
}
