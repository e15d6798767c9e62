package com.vormel.kx.tool;

import com.vormel.kx.platform.velksmartcard.VelkCardException;
import com.vormel.kx.platform.velksmartcard.VelkSCard;
import java.util.List;

/** {@code list}: the readers, whether each holds a card, and the card's ATR. */
final class ListCommand implements Command {
    private static final int SCARD_E_SHARING_VIOLATION = 0x8010000B;

    @Override
    public String name() {
        return "list";
    }

    @Override
    public String summary() {
        return "readers, with card present or not and the ATR";
    }

    @Override
    public String help() {
        return String.join("\n",
                "usage: velk list",
                "",
                "Prints one line per reader: its number (usable in place of the name in",
                "send and attr), its name, whether a card is present and the card's ATR:",
                "  0: Virtual PCD 00 00: card present, ATR 3B 88 01 56 45 4C 4B 43 52 44 31 F9",
                "  1: Virtual PCD 00 01: no card",
                "Reading the ATR connects to the card briefly in shared mode; a card that",
                "another program holds exclusively shows as in use, without its ATR:",
                "  0: Virtual PCD 00 00: card present, in use by another program",
                "",
                "Exit codes: 0 readers listed, 1 PC/SC error, 3 no readers.");
    }

    @Override
    public int run(List<String> args, Io io) throws CliException, VelkCardException {
        if (!Args.parse(args, Args.names(), Args.names()).operands().isEmpty()) {
            throw CliException.usage("list takes no operands");
        }
        try (PcscContext context = PcscContext.establish()) {
            String[] readers = context.readers();
            if (readers.length == 0) {
                throw CliException.noReader("no readers");
            }
            int[] states = context.states(readers);
            for (int i = 0; i < readers.length; i++) {
                io.out.println(i + ": " + readers[i] + ": " + describe(context, readers[i],
                        states[i]));
            }
        }
        return ExitCode.OK;
    }

    private static String describe(PcscContext context, String reader, int state) {
        String described = ReaderState.describe(state);
        if (!ReaderState.present(state)) {
            return described;
        }
        try (CardConnection card = CardConnection.open(context, reader,
                VelkSCard.SCARD_SHARE_SHARED, VelkSCard.SCARD_PROTOCOL_ANY)) {
            return described + ", ATR " + Hex.format(card.atr());
        } catch (VelkCardException e) {
            if (e.getErrorCode() == SCARD_E_SHARING_VIOLATION) {
                return "card present, in use by another program";
            }
            // A mute card still counts as present.
            return described + ", ATR unavailable: " + e.getMessage();
        }
    }
}
