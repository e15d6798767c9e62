package com.vormel.kx.smartcardio;

import com.vormel.kx.platform.velksmartcard.VelkSCard;

/** What a protocol string of {@code CardTerminal.connect} asks PC/SC for. */
final class ConnectMode {
    final int shareMode;
    final int protocols;

    private ConnectMode(int shareMode, int protocols) {
        this.shareMode = shareMode;
        this.protocols = protocols;
    }

    /** The JDK provider's strings: "*", "T=0", "T=1" and "DIRECT", case aside for the last three. */
    static ConnectMode of(String protocol) {
        if (protocol.equals("*")) {
            return new ConnectMode(VelkSCard.SCARD_SHARE_SHARED, VelkSCard.SCARD_PROTOCOL_ANY);
        } else if (protocol.equalsIgnoreCase("T=0")) {
            return new ConnectMode(VelkSCard.SCARD_SHARE_SHARED, VelkSCard.SCARD_PROTOCOL_T0);
        } else if (protocol.equalsIgnoreCase("T=1")) {
            return new ConnectMode(VelkSCard.SCARD_SHARE_SHARED, VelkSCard.SCARD_PROTOCOL_T1);
        } else if (protocol.equalsIgnoreCase("direct")) {
            // PC/SC lite wants some protocol even for direct access to the reader.
            return new ConnectMode(VelkSCard.SCARD_SHARE_DIRECT, VelkSCard.SCARD_PROTOCOL_RAW);
        }
        throw new IllegalArgumentException("Unsupported protocol " + protocol);
    }
}
