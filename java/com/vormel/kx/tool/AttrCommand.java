package com.vormel.kx.tool;

import com.vormel.kx.platform.velksmartcard.VelkCardException;
import com.vormel.kx.platform.velksmartcard.VelkSCard;
import java.util.ArrayList;
import java.util.List;

/** {@code attr}: reader and card attributes, by name or id. */
final class AttrCommand implements Command {
    @Override
    public String name() {
        return "attr";
    }

    @Override
    public String summary() {
        return "read reader attributes (all common ones, or by name or id)";
    }

    @Override
    public String help() {
        return String.join("\n",
                "usage: velk attr [--direct] READER [ATTRIBUTE...]",
                "",
                "Reads attributes of READER (a name or a number from list) and prints each",
                "in hex, followed by its text or its number where the value is one:",
                "  vendor-name (0x00010100): 56 69 72 74 75 61 6C  \"Virtual\"",
                "Without ATTRIBUTE it reads every common attribute. An ATTRIBUTE is a name",
                "(" + String.join(", ", Attributes.names()) + ";",
                "also as SCARD_ATTR_VENDOR_NAME, or atr) or a number (0x00090303, 590595).",
                "",
                "  --direct   connect in direct mode, without using the card (the default",
                "             when the reader holds no card)",
                "",
                "Exit codes: 0 every named attribute read, 1 PC/SC error or a named",
                "attribute not supported, 2 bad input, 3 unknown reader.");
    }

    @Override
    public int run(List<String> args, Io io) throws CliException, VelkCardException {
        Args parsed = Args.parse(args, Args.names("--direct"), Args.names());
        List<String> operands = parsed.operands();
        if (operands.isEmpty()) {
            throw CliException.usage("attr needs a reader");
        }
        boolean named = operands.size() > 1;
        List<Integer> ids = new ArrayList<>();
        for (String given : operands.subList(1, operands.size())) {
            ids.add(Attributes.parse(given));
        }
        if (!named) {
            ids = Attributes.all();
        }
        int exit = ExitCode.OK;
        try (PcscContext context = PcscContext.establish()) {
            String reader = context.resolve(operands.get(0));
            boolean direct = parsed.has("--direct")
                    || !ReaderState.present(context.states(new String[] {reader})[0]);
            int share = direct ? VelkSCard.SCARD_SHARE_DIRECT : VelkSCard.SCARD_SHARE_SHARED;
            int protocols = direct ? VelkSCard.SCARD_PROTOCOL_UNDEFINED
                    : VelkSCard.SCARD_PROTOCOL_ANY;
            try (CardConnection card = CardConnection.open(context, reader, share, protocols)) {
                for (int id : ids) {
                    if (!show(card, id, io)) {
                        exit = named ? ExitCode.FAILURE : exit;
                    }
                }
            }
        }
        return exit;
    }

    /** Prints one attribute; false when it could not be read. */
    private static boolean show(CardConnection card, int id, Io io) {
        String label = Attributes.label(id) + ": ";
        try {
            byte[] value = VelkSCard.SCardGetAttr(card.handle, id);
            if (value == null) {
                io.out.println(label + "not supported");
                return false;
            }
            io.out.println(label + Attributes.render(id, value));
            return true;
        } catch (VelkCardException e) {
            io.out.println(label + e.getMessage());
            return false;
        }
    }
}
