package com.vormel.kx.tool;

import com.vormel.kx.platform.velksmartcard.VelkCardException;
import com.vormel.kx.platform.velksmartcard.VelkSCard;
import java.util.ArrayList;
import java.util.List;

/** {@code send}: APDUs to the card in a reader, with their responses and status words. */
final class SendCommand implements Command {
    @Override
    public String name() {
        return "send";
    }

    @Override
    public String summary() {
        return "send APDUs to the card in a reader and show the responses";
    }

    @Override
    public String help() {
        return String.join("\n",
                "usage: velk send [--protocol t0|t1|any] [--exclusive] [--transaction]",
                "                 READER APDU...",
                "",
                "Connects to the card in READER (a name or a number from list), sends each",
                "APDU (hex, spaces or colons allowed: 00A4040007A0000002471001 or",
                "\"00 A4 04 00\") and prints the command, the response and the status word",
                "with its meaning:",
                "  > 00 B0 00 00 04",
                "  < 01 02 03 04  SW 90 00: success",
                "",
                "  --protocol P    protocol to connect with (default any: T=0 or T=1)",
                "  --exclusive     connect in exclusive instead of shared mode",
                "  --transaction   send all APDUs within one transaction",
                "",
                "A status word other than 90 00 is the card's answer, not a failure.",
                "Exit codes: 0 all sent, 1 PC/SC error, 2 bad input, 3 unknown reader.");
    }

    @Override
    public int run(List<String> args, Io io) throws CliException, VelkCardException {
        Args parsed = Args.parse(args, Args.names("--exclusive", "--transaction"),
                Args.names("--protocol"));
        List<String> operands = parsed.operands();
        if (operands.size() < 2) {
            throw CliException.usage("send needs a reader and at least one APDU");
        }
        int protocols = protocols(parsed.value("--protocol", "any"));
        List<byte[]> apdus = new ArrayList<>();
        for (int i = 1; i < operands.size(); i++) {
            byte[] apdu = Hex.parse(operands.get(i), "APDU " + i);
            if (apdu.length < 4) {
                throw CliException.usage("APDU " + i + " is shorter than its 4-byte header: '"
                        + operands.get(i) + "'");
            }
            apdus.add(apdu);
        }
        int share = parsed.has("--exclusive")
                ? VelkSCard.SCARD_SHARE_EXCLUSIVE : VelkSCard.SCARD_SHARE_SHARED;
        try (PcscContext context = PcscContext.establish()) {
            String reader = context.resolve(operands.get(0));
            try (CardConnection card = CardConnection.open(context, reader, share, protocols)) {
                io.out.println("connected to " + reader + " with "
                        + CardConnection.protocolName(card.protocol));
                if (parsed.has("--transaction")) {
                    VelkSCard.SCardBeginTransaction(card.handle);
                    io.out.println("transaction begun");
                    exchange(card, apdus, io);
                    VelkSCard.SCardEndTransaction(card.handle, VelkSCard.SCARD_LEAVE_CARD);
                    io.out.println("transaction ended");
                } else {
                    exchange(card, apdus, io);
                }
            }
        }
        return ExitCode.OK;
    }

    private static void exchange(CardConnection card, List<byte[]> apdus, Io io)
            throws VelkCardException {
        for (byte[] apdu : apdus) {
            io.out.println("> " + Hex.format(apdu));
            byte[] response = VelkSCard.SCardTransmit(card.handle, card.protocol, apdu);
            io.out.println("< " + describe(response));
            io.out.flush();
        }
    }

    /** The data bytes, then the status word and its meaning. */
    static String describe(byte[] response) {
        int n = response.length;
        if (n < 2) {
            return (n == 0 ? "(nothing)" : Hex.format(response)) + "  no status word";
        }
        String data = n > 2 ? Hex.format(response, 0, n - 2) + "  " : "";
        String meaning = StatusWords.meaning(response[n - 2], response[n - 1]);
        return data + "SW " + Hex.format(response, n - 2, n)
                + (meaning != null ? ": " + meaning : "");
    }

    private static int protocols(String name) throws CliException {
        switch (name.toLowerCase(java.util.Locale.ROOT)) {
            case "t0":
            case "t=0":
                return VelkSCard.SCARD_PROTOCOL_T0;
            case "t1":
            case "t=1":
                return VelkSCard.SCARD_PROTOCOL_T1;
            case "any":
                return VelkSCard.SCARD_PROTOCOL_ANY;
            default:
                throw CliException.usage("unknown protocol '" + name + "' (t0, t1 or any)");
        }
    }
}
