package com.vormel.kx.tool;

import com.vormel.kx.platform.velksmartcard.VelkCardException;
import com.vormel.kx.platform.velksmartcard.VelkSCard;

/** A connection to the card in a reader; disconnecting leaves the card as it is. */
final class CardConnection implements AutoCloseable {
    final long handle;
    final int protocol;

    private CardConnection(long handle, int protocol) {
        this.handle = handle;
        this.protocol = protocol;
    }

    static CardConnection open(PcscContext context, String reader, int shareMode, int protocols)
            throws VelkCardException {
        int[] active = new int[1];
        long handle = VelkSCard.SCardConnect(context.handle, reader, shareMode, protocols, active);
        return new CardConnection(handle, active[0]);
    }

    /** The ATR of the connected card. */
    byte[] atr() throws VelkCardException {
        return VelkSCard.SCardStatus(handle, new int[1]);
    }

    /** "T=0", "T=1", ... for a protocol value of PC/SC. */
    static String protocolName(int protocol) {
        switch (protocol) {
            case VelkSCard.SCARD_PROTOCOL_T0:
                return "T=0";
            case VelkSCard.SCARD_PROTOCOL_T1:
                return "T=1";
            case VelkSCard.SCARD_PROTOCOL_RAW:
                return "raw";
            case VelkSCard.SCARD_PROTOCOL_T15:
                return "T=15";
            case VelkSCard.SCARD_PROTOCOL_UNDEFINED:
                return "no protocol";
            default:
                return "protocol 0x" + Integer.toHexString(protocol);
        }
    }

    @Override
    public void close() throws VelkCardException {
        VelkSCard.SCardDisconnect(handle, VelkSCard.SCARD_LEAVE_CARD);
    }
}
