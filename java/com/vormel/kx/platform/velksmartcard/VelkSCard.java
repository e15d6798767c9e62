package com.vormel.kx.platform.velksmartcard;

/**
 * Direct access to the PC/SC smart-card interface of the system's resource manager.
 *
 * <p>Every method performs exactly one PC/SC function. Contexts and card connections are plain
 * {@code long} handles owned by the caller: establish a context, connect to the card in a reader,
 * exchange APDUs, then disconnect and release the context. The bridge keeps no state between
 * calls.
 *
 * <p>A PC/SC error code is reported as a {@link VelkCardException} whose message names the call
 * and gives the code's readable text. Any other failure (a failed JNI call, an unusable argument)
 * is reported as a {@link VelkCardFatalException}.
 *
 * <p>Integer arguments (scope, share mode, protocols, dispositions, reader states, attribute ids)
 * go to PC/SC bit for bit; use the constants of this class.
 *
 * <pre>{@code
 * long ctx = VelkSCard.SCardEstablishContext(VelkSCard.SCARD_SCOPE_SYSTEM);
 * String[] readers = VelkSCard.SCardListReaders(ctx);
 * int[] protocol = new int[1];
 * long card = VelkSCard.SCardConnect(ctx, readers[0], VelkSCard.SCARD_SHARE_SHARED,
 *         VelkSCard.SCARD_PROTOCOL_ANY, protocol);
 * byte[] response = VelkSCard.SCardTransmit(card, protocol[0], new byte[] {0, (byte) 0xA4, 4, 0});
 * VelkSCard.SCardDisconnect(card, VelkSCard.SCARD_LEAVE_CARD);
 * VelkSCard.SCardReleaseContext(ctx);
 * }</pre>
 */
public final class VelkSCard {
    static {
        com.vormel.kx.platform.natives.NativeLoader.load("velkscard");
    }

    private VelkSCard() {}

    /** Context scope: the user's domain. */
    public static final int SCARD_SCOPE_USER = 0x0000;
    /** Context scope: the terminal's domain. */
    public static final int SCARD_SCOPE_TERMINAL = 0x0001;
    /** Context scope: the system's domain. */
    public static final int SCARD_SCOPE_SYSTEM = 0x0002;

    /** Share mode: no other application may connect to the card. */
    public static final int SCARD_SHARE_EXCLUSIVE = 0x0001;
    /** Share mode: other applications may connect too. */
    public static final int SCARD_SHARE_SHARED = 0x0002;
    /** Share mode: direct control of the reader, even without a card. */
    public static final int SCARD_SHARE_DIRECT = 0x0003;

    /** No protocol negotiated. */
    public static final int SCARD_PROTOCOL_UNDEFINED = 0x0000;
    /** T=0. */
    public static final int SCARD_PROTOCOL_T0 = 0x0001;
    /** T=1. */
    public static final int SCARD_PROTOCOL_T1 = 0x0002;
    /** Raw protocol. */
    public static final int SCARD_PROTOCOL_RAW = 0x0004;
    /** T=15. */
    public static final int SCARD_PROTOCOL_T15 = 0x0008;
    /** T=0 or T=1, whichever the card offers. */
    public static final int SCARD_PROTOCOL_ANY = SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1;

    /** Disposition: leave the card as it is. */
    public static final int SCARD_LEAVE_CARD = 0x0000;
    /** Disposition: reset the card. */
    public static final int SCARD_RESET_CARD = 0x0001;
    /** Disposition: power the card down. */
    public static final int SCARD_UNPOWER_CARD = 0x0002;
    /** Disposition: eject the card. */
    public static final int SCARD_EJECT_CARD = 0x0003;

    /** Card state word of {@link #SCardStatus}: unknown. */
    public static final int SCARD_UNKNOWN = 0x0001;
    /** Card state word: no card in the reader. */
    public static final int SCARD_ABSENT = 0x0002;
    /** Card state word: a card is in the reader. */
    public static final int SCARD_PRESENT = 0x0004;
    /** Card state word: the card is in position but not powered. */
    public static final int SCARD_SWALLOWED = 0x0008;
    /** Card state word: the card is powered. */
    public static final int SCARD_POWERED = 0x0010;
    /** Card state word: the card awaits protocol negotiation. */
    public static final int SCARD_NEGOTIABLE = 0x0020;
    /** Card state word: a protocol has been set. */
    public static final int SCARD_SPECIFIC = 0x0040;

    /** Reader state: the caller knows nothing yet; answer at once. */
    public static final int SCARD_STATE_UNAWARE = 0x0000;
    /** Reader state: ignore this reader. */
    public static final int SCARD_STATE_IGNORE = 0x0001;
    /** Reader state: the state differs from the one the caller passed. */
    public static final int SCARD_STATE_CHANGED = 0x0002;
    /** Reader state: the reader is not known. */
    public static final int SCARD_STATE_UNKNOWN = 0x0004;
    /** Reader state: the state cannot be had. */
    public static final int SCARD_STATE_UNAVAILABLE = 0x0008;
    /** Reader state: no card in the reader. */
    public static final int SCARD_STATE_EMPTY = 0x0010;
    /** Reader state: a card is in the reader. */
    public static final int SCARD_STATE_PRESENT = 0x0020;
    /** Reader state: the card's ATR matches one of the targets. */
    public static final int SCARD_STATE_ATRMATCH = 0x0040;
    /** Reader state: the card is in exclusive use. */
    public static final int SCARD_STATE_EXCLUSIVE = 0x0080;
    /** Reader state: the card is in use. */
    public static final int SCARD_STATE_INUSE = 0x0100;
    /** Reader state: the card does not answer. */
    public static final int SCARD_STATE_MUTE = 0x0200;
    /** Reader state: the card is not powered. */
    public static final int SCARD_STATE_UNPOWERED = 0x0400;

    /** Timeout of {@link #SCardGetStatusChange} that waits without limit. */
    public static final long INFINITE = -1L;
    /** Reader name that {@link #SCardGetStatusChange} uses to watch readers come and go. */
    public static final String PNP_NOTIFICATION = "\\\\?PnP?\\Notification";

    /** Attribute: vendor name. */
    public static final int SCARD_ATTR_VENDOR_NAME = 0x00010100;
    /** Attribute: reader model. */
    public static final int SCARD_ATTR_VENDOR_IFD_TYPE = 0x00010101;
    /** Attribute: reader version. */
    public static final int SCARD_ATTR_VENDOR_IFD_VERSION = 0x00010102;
    /** Attribute: reader serial number. */
    public static final int SCARD_ATTR_VENDOR_IFD_SERIAL_NO = 0x00010103;
    /** Attribute: channel id. */
    public static final int SCARD_ATTR_CHANNEL_ID = 0x00020110;
    /** Attribute: default clock rate in kHz. */
    public static final int SCARD_ATTR_DEFAULT_CLK = 0x00030121;
    /** Attribute: maximum IFSD. */
    public static final int SCARD_ATTR_MAX_IFSD = 0x00030125;
    /** Attribute: current protocol. */
    public static final int SCARD_ATTR_CURRENT_PROTOCOL_TYPE = 0x00080201;
    /** Attribute: card presence. */
    public static final int SCARD_ATTR_ICC_PRESENCE = 0x00090300;
    /** Attribute: card contact state. */
    public static final int SCARD_ATTR_ICC_INTERFACE_STATUS = 0x00090301;
    /** Attribute: the card's ATR. */
    public static final int SCARD_ATTR_ATR_STRING = 0x00090303;
    /** Attribute: maximum input size. */
    public static final int SCARD_ATTR_MAXINPUT = 0x0007A007;
    /** Attribute: reader's display name. */
    public static final int SCARD_ATTR_DEVICE_FRIENDLY_NAME = 0x7FFF0003;
    /** Attribute: reader's system name. */
    public static final int SCARD_ATTR_DEVICE_SYSTEM_NAME = 0x7FFF0004;
    /** Reader-driver tag for the ATR, which some drivers answer instead of the standard id. */
    public static final int TAG_IFD_ATR = 0x0303;

    /**
     * Establishes a resource-manager context.
     *
     * @param scope one of the {@code SCARD_SCOPE_*} values
     * @return the context handle
     * @throws VelkCardException if PC/SC refuses
     */
    public static native long SCardEstablishContext(int scope) throws VelkCardException;

    /**
     * Releases a context.
     *
     * @param hContext the context
     * @throws VelkCardException if PC/SC refuses, for example for an unknown handle
     */
    public static native void SCardReleaseContext(long hContext) throws VelkCardException;

    /**
     * Lists the readers that a context knows.
     *
     * @param hContext the context
     * @return the reader names, or {@code null} when no reader is available
     * @throws VelkCardException if PC/SC reports an error
     */
    public static native String[] SCardListReaders(long hContext) throws VelkCardException;

    /**
     * Waits until the state of one of the readers differs from the given state, or the timeout
     * expires.
     *
     * @param hContext the context
     * @param timeout the longest wait in milliseconds; {@link #INFINITE} waits without limit
     * @param readerCurrentStateArray the state the caller believes each reader has; not written
     * @param readerNameArray the reader names, parallel to the states
     * @return a new array of event states; on timeout, {@code readerCurrentStateArray} itself
     * @throws VelkCardException if PC/SC reports an error other than the timeout
     */
    public static native int[] SCardGetStatusChange(
            long hContext, long timeout, int[] readerCurrentStateArray, String[] readerNameArray)
            throws VelkCardException;

    /**
     * Connects to the card in a reader.
     *
     * @param hContext the context
     * @param reader the reader name
     * @param shareMode one of the {@code SCARD_SHARE_*} values
     * @param preferredProtocols a mask of {@code SCARD_PROTOCOL_*} values
     * @param activeProtocol element 0 receives the protocol in use; must have an element
     * @return the card handle
     * @throws VelkCardException if PC/SC refuses
     */
    public static native long SCardConnect(
            long hContext, String reader, int shareMode, int preferredProtocols,
            int[] activeProtocol)
            throws VelkCardException;

    /**
     * Re-establishes a connection, keeping its handle.
     *
     * @param hCard the card handle
     * @param shareMode one of the {@code SCARD_SHARE_*} values
     * @param preferredProtocols a mask of {@code SCARD_PROTOCOL_*} values
     * @param initialization what to do with the card, one of the dispositions
     * @param activeProtocol element 0 receives the protocol in use
     * @throws VelkCardException if PC/SC refuses
     */
    public static native void SCardReconnect(
            long hCard, int shareMode, int preferredProtocols, int initialization,
            int[] activeProtocol)
            throws VelkCardException;

    /**
     * Ends a connection.
     *
     * @param hCard the card handle
     * @param disposition what to do with the card, one of the dispositions
     * @throws VelkCardException if PC/SC refuses
     */
    public static native void SCardDisconnect(long hCard, int disposition)
            throws VelkCardException;

    /**
     * Starts exclusive access to the card; blocks while another application holds it.
     *
     * @param hCard the card handle
     * @throws VelkCardException if PC/SC refuses
     */
    public static native void SCardBeginTransaction(long hCard) throws VelkCardException;

    /**
     * Ends exclusive access to the card.
     *
     * @param hCard the card handle
     * @param disposition what to do with the card, one of the dispositions
     * @throws VelkCardException if PC/SC refuses, for example when no transaction is open
     */
    public static native void SCardEndTransaction(long hCard, int disposition)
            throws VelkCardException;

    /**
     * Reads the state and ATR of a connected card.
     *
     * @param hCard the card handle
     * @param state element 0 receives the card state word ({@code SCARD_PRESENT} etc.)
     * @return the ATR bytes
     * @throws VelkCardException if PC/SC reports an error
     */
    public static native byte[] SCardStatus(long hCard, int[] state) throws VelkCardException;

    /**
     * Sends a command APDU and returns the response (data and status word), at most 1024 bytes.
     *
     * @param hCard the card handle
     * @param protocol the active protocol of the connection: T=0 or T=1
     * @param request the command APDU; not written
     * @return the response APDU
     * @throws VelkCardException if PC/SC reports an error
     */
    public static native byte[] SCardTransmit(long hCard, int protocol, byte[] request)
            throws VelkCardException;

    /**
     * Reads a reader or card attribute of at most 2048 bytes.
     *
     * @param hCard the card handle
     * @param attributeId the attribute id, for example {@link #SCARD_ATTR_VENDOR_NAME}
     * @return the value, or {@code null} when the reader does not support the attribute
     * @throws VelkCardException if PC/SC reports an error
     */
    public static native byte[] SCardGetAttr(long hCard, int attributeId)
            throws VelkCardException;
}
