package com.vormel.kx.tool;

import com.vormel.kx.platform.velksmartcard.VelkCardException;
import com.vormel.kx.platform.velksmartcard.VelkSCardControl;
import com.vormel.kx.smartcardio.ReaderFeature;
import java.util.List;
import java.util.Locale;

/** {@code control}: one raw control command to a reader. */
final class ControlCommand implements Command {
    @Override
    public String name() {
        return "control";
    }

    @Override
    public String summary() {
        return "send one control command to a reader and print its answer";
    }

    @Override
    public String help() {
        return String.join("\n",
                "usage: velk control [--direct] READER CODE [HEX]",
                "",
                "Sends the command bytes HEX (none when left out) to READER (a name or a",
                "number from list) with control code CODE, and prints the answer in hex.",
                "CODE is a number (0x42000D48, 1107299656), ctl:N for the code of reader",
                "function N (ctl:3400 is the feature request), or a feature name from",
                "velk features (verify-pin-direct), whose code the reader gives.",
                "",
                "  --direct   connect in direct mode, without using the card (the default",
                "             when the reader holds no card)",
                "",
                "Exit codes: 0 answered, 1 PC/SC error (a reader without the function",
                "gives SCARD_E_UNSUPPORTED_FEATURE), 2 bad input, 3 unknown reader.");
    }

    @Override
    public int run(List<String> args, Io io) throws CliException, VelkCardException {
        List<String> operands = Args.parse(args, Args.names("--direct"), Args.names())
                .operands();
        if (operands.size() < 2 || operands.size() > 3) {
            throw CliException.usage("control needs a reader, a code and at most one HEX");
        }
        String code = operands.get(1);
        byte[] command = operands.size() == 3 ? Hex.parse(operands.get(2), "command")
                : new byte[0];
        Integer number = number(code);
        ReaderFeature feature = number == null ? feature(code) : null;
        try (ReaderControl reader = ReaderControl.open(operands.get(0), args.contains("--direct"))) {
            if (feature != null) {
                number = ReaderControl.call(reader.card::features).get(feature);
                if (number == null) {
                    throw new CliException(ExitCode.FAILURE,
                            "the reader does not have " + ReaderControl.featureName(feature));
                }
            }
            int controlCode = number;
            byte[] answer = ReaderControl.call(
                    () -> reader.card.transmitControlCommand(controlCode, command));
            io.out.println(answer.length == 0 ? "(empty answer)" : Hex.format(answer));
        }
        return ExitCode.OK;
    }

    /** A numeric CODE or ctl:N, or null for a feature name. */
    private static Integer number(String code) throws CliException {
        try {
            if (code.startsWith("ctl:")) {
                return VelkSCardControl.SCARD_CTL_CODE(Integer.parseInt(code.substring(4)));
            } else if (code.startsWith("0x") || code.startsWith("0X")) {
                return Integer.parseUnsignedInt(code.substring(2), 16);
            } else if (!code.isEmpty() && Character.isDigit(code.charAt(0))) {
                return Integer.parseUnsignedInt(code);
            }
        } catch (NumberFormatException e) {
            throw CliException.usage("bad control code '" + code + "'");
        }
        return null;
    }

    private static ReaderFeature feature(String name) throws CliException {
        try {
            return ReaderFeature.valueOf(name.toUpperCase(Locale.ROOT).replace('-', '_'));
        } catch (IllegalArgumentException e) {
            throw CliException.usage("unknown control code or feature '" + name + "'");
        }
    }
}
