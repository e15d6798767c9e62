package com.vormel.kx.platform.velksmartcard;

/**
 * A stand-in for the product's class that lacks the (String, Throwable) constructor the bridge
 * creates its exceptions with; put ahead of the product's jar, it hides the real one.
 */
public class VelkCardFatalException extends RuntimeException {
    private static final long serialVersionUID = 1L;

    public VelkCardFatalException(String message) {
        super(message);
    }
}
