package com.vormel.kx.platform.velksmartcard;

/**
 * Direct access to PC/SC's control channel: commands for the reader itself, such as its feature
 * list or PIN entry on its own keypad, rather than for the card.
 *
 * <p>It follows the conventions of {@link VelkSCard}: one PC/SC call, a PC/SC error code as a
 * {@link VelkCardException}, any other failure as a {@link VelkCardFatalException}. The card
 * handle is one that {@link VelkSCard#SCardConnect} returned, in any share mode ({@link
 * VelkSCard#SCARD_SHARE_DIRECT} reaches a reader without a card).
 *
 * <pre>{@code
 * long card = VelkSCard.SCardConnect(ctx, reader, VelkSCard.SCARD_SHARE_DIRECT, 0, protocol);
 * byte[] features = VelkSCardControl.SCardControl(card,
 *         VelkSCardControl.CM_IOCTL_GET_FEATURE_REQUEST, new byte[0]);
 * }</pre>
 */
public final class VelkSCardControl {
    static {
        com.vormel.kx.platform.natives.NativeLoader.load("velkscard");
    }

    private VelkSCardControl() {}

    /**
     * The control code of a reader function number, as pcsc-lite forms it.
     *
     * @param function the function number
     * @return the control code
     */
    public static int SCARD_CTL_CODE(int function) {
        return 0x42000000 + function;
    }

    /** Asks the reader for its features: a list of tag, length and control code. */
    public static final int CM_IOCTL_GET_FEATURE_REQUEST = 0x42000000 + 3400;

    /**
     * Sends a control command to the reader of a connection ({@code SCardControl}).
     *
     * @param hCard the card handle
     * @param controlCode the control code, passed to PC/SC as it is
     * @param command the command bytes, possibly empty
     * @return the reader's answer, possibly empty
     * @throws VelkCardException when PC/SC reports an error
     */
    public static native byte[] SCardControl(long hCard, int controlCode, byte[] command)
            throws VelkCardException;
}
