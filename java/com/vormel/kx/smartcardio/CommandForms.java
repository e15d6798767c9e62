package com.vormel.kx.smartcardio;

import java.util.Arrays;

/**
 * The forms a command takes on its way to the card (ISO 7816-4 cases 1 to 4, short and
 * extended): T=0's case 4 without its Le byte, and the re-send that a {@code 6C xx} asks for.
 */
final class CommandForms {
    private CommandForms() {}

    /** A short case 4 command without its Le byte, as T=0 sends it; others unchanged. */
    static byte[] withoutShortLe(byte[] command) {
        int n = command.length;
        if (n >= 7 && command[4] != 0 && n == (command[4] & 0xFF) + 6) {
            return Arrays.copyOf(command, n - 1);
        }
        return command;
    }

    /**
     * The command again with Le = {@code le} (00 meaning 256): its Le field replaced, or one
     * added to a case 1 or case 3 command, in the command's own length form.
     *
     * @return the command to send, or {@code null} when it cannot carry the new Le: a command
     *     with data on T=0, whose Le byte is never sent, or a malformed one
     */
    static byte[] withLe(byte[] command, byte le, boolean t0) {
        int n = command.length;
        if (n == 4) {
            return append(command, le);
        }
        if (n == 5) {
            return replace(command, le);
        }
        if (command[4] != 0) { // short form with data
            int end = 5 + (command[4] & 0xFF);
            if (t0 || (n != end && n != end + 1)) {
                return null;
            }
            return n == end ? append(command, le) : replace(command, le);
        }
        int extendedLe = le == 0 ? 256 : le & 0xFF;
        if (n == 7) { // extended case 2
            byte[] resent = command.clone();
            resent[5] = (byte) (extendedLe >> 8);
            resent[6] = (byte) extendedLe;
            return resent;
        }
        int end = 7 + ((command[5] & 0xFF) << 8 | (command[6] & 0xFF));
        if (t0 || n < 8 || (n != end && n != end + 2)) {
            return null;
        }
        byte[] resent = Arrays.copyOf(command, end + 2);
        resent[end] = (byte) (extendedLe >> 8);
        resent[end + 1] = (byte) extendedLe;
        return resent;
    }

    private static byte[] append(byte[] command, byte le) {
        byte[] resent = Arrays.copyOf(command, command.length + 1);
        resent[command.length] = le;
        return resent;
    }

    private static byte[] replace(byte[] command, byte le) {
        byte[] resent = command.clone();
        resent[resent.length - 1] = le;
        return resent;
    }
}
