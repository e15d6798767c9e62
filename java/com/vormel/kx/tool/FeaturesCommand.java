package com.vormel.kx.tool;

import com.vormel.kx.platform.velksmartcard.VelkCardException;
import com.vormel.kx.smartcardio.ReaderFeature;
import java.util.List;
import java.util.Map;

/** {@code features}: what a pin-pad reader can do, and its PIN properties. */
final class FeaturesCommand implements Command {
    @Override
    public String name() {
        return "features";
    }

    @Override
    public String summary() {
        return "list a reader's features (pin-pad functions) and PIN properties";
    }

    @Override
    public String help() {
        return String.join("\n",
                "usage: velk features [--direct] READER",
                "",
                "Asks READER (a name or a number from list) for its features and prints",
                "each with its control code, then the PIN properties where it has them:",
                "  verify-pin-direct (0x06): control code 0x42000DB2",
                "A reader without features (most readers) prints \"no features\".",
                "",
                "  --direct   connect in direct mode, without using the card (the default",
                "             when the reader holds no card)",
                "",
                "Exit codes: 0 read, 1 PC/SC error or malformed answer, 2 bad input,",
                "3 unknown reader.");
    }

    @Override
    public int run(List<String> args, Io io) throws CliException, VelkCardException {
        List<String> operands = Args.parse(args, Args.names("--direct"), Args.names()).operands();
        if (operands.size() != 1) {
            throw CliException.usage("features needs exactly one reader");
        }
        try (ReaderControl reader = ReaderControl.open(operands.get(0), args.contains("--direct"))) {
            Map<ReaderFeature, Integer> features = ReaderControl.call(reader.card::features);
            if (features.isEmpty()) {
                io.out.println("no features");
                return ExitCode.OK;
            }
            for (Map.Entry<ReaderFeature, Integer> f : features.entrySet()) {
                io.out.println(String.format("%s (0x%02X): control code 0x%08X",
                        ReaderControl.featureName(f.getKey()), f.getKey().tag(), f.getValue()));
            }
            if (features.containsKey(ReaderFeature.IFD_PIN_PROPERTIES)
                    || features.containsKey(ReaderFeature.GET_TLV_PROPERTIES)) {
                io.out.println("PIN properties: " + ReaderControl.call(reader.card::pinProperties));
            }
        }
        return ExitCode.OK;
    }
}
