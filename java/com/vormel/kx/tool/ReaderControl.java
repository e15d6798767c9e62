package com.vormel.kx.tool;

import com.vormel.kx.platform.velksmartcard.VelkCardException;
import com.vormel.kx.smartcardio.VelkCard;
import com.vormel.kx.smartcardio.VelkProvider;
import java.security.NoSuchAlgorithmException;
import javax.smartcardio.CardException;
import javax.smartcardio.TerminalFactory;

/**
 * A reader's control channel for the commands that use it: a card of the provider, connected in
 * direct mode when asked or when the reader holds no card.
 */
final class ReaderControl implements AutoCloseable {
    final VelkCard card;

    private ReaderControl(VelkCard card) {
        this.card = card;
    }

    /** Opens READER, the first operand; the flag --direct forces direct mode. */
    static ReaderControl open(String given, boolean direct)
            throws CliException, VelkCardException {
        String reader;
        boolean present;
        try (PcscContext context = PcscContext.establish()) {
            reader = context.resolve(given);
            present = ReaderState.present(context.states(new String[] {reader})[0]);
        }
        TerminalFactory factory;
        try {
            factory = TerminalFactory.getInstance("PC/SC", null, new VelkProvider());
        } catch (NoSuchAlgorithmException e) {
            throw new CliException(ExitCode.FAILURE, e.getMessage());
        }
        String mode = direct || !present ? "DIRECT" : "*";
        return new ReaderControl(
                call(() -> (VelkCard) factory.terminals().getTerminal(reader).connect(mode)));
    }

    /** Runs a step; a CardException ends the command as {@link #failure} says. */
    static <T> T call(Step<T> step) throws CliException, VelkCardException {
        try {
            return step.run();
        } catch (CardException e) {
            if (e.getCause() instanceof VelkCardException) {
                throw (VelkCardException) e.getCause();
            }
            throw new CliException(ExitCode.FAILURE, e.getMessage());
        }
    }

    /** One use of the card. */
    interface Step<T> {
        T run() throws CardException;
    }

    /** "verify-pin-direct" for VERIFY_PIN_DIRECT. */
    static String featureName(Enum<?> feature) {
        return feature.name().toLowerCase(java.util.Locale.ROOT).replace('_', '-');
    }

    @Override
    public void close() throws CliException, VelkCardException {
        call(() -> {
            card.disconnect(false);
            return null;
        });
    }
}
