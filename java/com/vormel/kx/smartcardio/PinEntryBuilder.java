package com.vormel.kx.smartcardio;

/**
 * The settings a PIN verification and a PIN change share: digits, when entry ends, timeouts.
 *
 * @param <B> the builder type, returned by each setter
 */
abstract class PinEntryBuilder<B extends PinEntryBuilder<B>> {
    final PinFields fields = new PinFields();

    PinEntryBuilder(byte[] apduTemplate, PinFormat format) {
        fields.template(apduTemplate, format);
    }

    abstract B self();

    /**
     * The number of digits the user may type, for each PIN.
     *
     * @param min 1 to 255
     * @param max {@code min} to 255
     * @return this builder
     */
    public B digits(int min, int max) {
        fields.digits(min, max);
        return self();
    }

    /**
     * When entry ends: a combination of {@link PinVerification#VALIDATION_MAX_DIGITS}, {@link
     * PinVerification#VALIDATION_KEY} and {@link PinVerification#VALIDATION_TIMEOUT}.
     *
     * @param condition 1 to 7
     * @return this builder
     */
    public B entryValidation(int condition) {
        fields.validation(condition);
        return self();
    }

    /**
     * Seconds the reader waits for the first key (0: the reader's default).
     *
     * @param seconds 0 to 255
     * @return this builder
     */
    public B timeout(int seconds) {
        fields.timeouts(seconds, fields.timeout2);
        return self();
    }

    /**
     * Seconds the reader waits for each further key (0: the reader's default).
     *
     * @param seconds 0 to 255
     * @return this builder
     */
    public B timeoutAfterFirstKey(int seconds) {
        fields.timeouts(fields.timeout, seconds);
        return self();
    }
}
