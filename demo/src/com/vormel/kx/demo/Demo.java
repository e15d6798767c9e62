package com.vormel.kx.demo;

import com.vormel.kx.platform.velksmartcard.VelkCardException;
import com.vormel.kx.platform.velksmartcard.VelkSCard;
import java.util.ArrayList;
import java.util.HexFormat;
import java.util.List;

/**
 * Lists the readers of the PC/SC daemon, connects to the card in the first one (or the one named
 * with {@code --reader}) and sends each APDU given in hex, printing command and response.
 */
public final class Demo {
    private static final HexFormat HEX = HexFormat.ofDelimiter(" ").withUpperCase();

    private Demo() {}

    public static void main(String[] args) {
        String readerName = null;
        List<byte[]> apdus = new ArrayList<>();
        for (int i = 0; i < args.length; i++) {
            if (args[i].equals("--reader") && i + 1 < args.length) {
                readerName = args[++i];
            } else {
                apdus.add(HexFormat.of().parseHex(args[i].replace(" ", "")));
            }
        }
        try {
            run(readerName, apdus);
        } catch (VelkCardException e) {
            System.out.println("PC/SC error: " + e.getMessage());
            System.exit(1);
        }
    }

    private static void run(String readerName, List<byte[]> apdus) throws VelkCardException {
        long context = VelkSCard.SCardEstablishContext(VelkSCard.SCARD_SCOPE_SYSTEM);
        System.out.println("context established");
        try {
            String[] readers = VelkSCard.SCardListReaders(context);
            if (readers == null) {
                System.out.println("no readers");
                return;
            }
            for (String reader : readers) {
                System.out.println("reader: " + reader);
            }
            if (apdus.isEmpty()) {
                return;
            }
            String target = readerName != null ? readerName : readers[0];
            int[] protocol = new int[1];
            long card = VelkSCard.SCardConnect(context, target, VelkSCard.SCARD_SHARE_SHARED,
                    VelkSCard.SCARD_PROTOCOL_ANY, protocol);
            System.out.println("connected to " + target + " with T="
                    + (protocol[0] == VelkSCard.SCARD_PROTOCOL_T0 ? "0" : "1"));
            try {
                for (byte[] apdu : apdus) {
                    byte[] response = VelkSCard.SCardTransmit(card, protocol[0], apdu);
                    int n = response.length;
                    System.out.println("> " + HEX.formatHex(apdu));
                    System.out.println("< " + HEX.formatHex(response, 0, Math.max(0, n - 2))
                            + (n > 2 ? "  " : "") + "SW=" + HEX.formatHex(response, Math.max(0, n - 2), n));
                }
            } finally {
                VelkSCard.SCardDisconnect(card, VelkSCard.SCARD_LEAVE_CARD);
            }
        } finally {
            VelkSCard.SCardReleaseContext(context);
            System.out.println("context released");
        }
    }
}
