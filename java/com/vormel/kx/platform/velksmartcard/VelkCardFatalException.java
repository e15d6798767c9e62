package com.vormel.kx.platform.velksmartcard;

/**
 * The bridge itself failed: a JNI call failed, an argument could not be used, or an unexpected
 * error occurred. The message ends in {@code " (line=N)"}, where N identifies the place in the
 * bridge that detected the failure; the cause, if any, is the Java exception that was pending
 * there.
 */
public class VelkCardFatalException extends RuntimeException {
    private static final long serialVersionUID = 1L;

    /**
     * Creates the exception.
     *
     * @param message what went wrong, with the failure site
     * @param cause the Java exception that caused it, or {@code null}
     */
    public VelkCardFatalException(String message, Throwable cause) {
        super(message, cause);
    }
}
