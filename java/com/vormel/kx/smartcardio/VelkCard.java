package com.vormel.kx.smartcardio;

import com.vormel.kx.platform.velksmartcard.VelkCardException;
import com.vormel.kx.platform.velksmartcard.VelkSCard;
import com.vormel.kx.platform.velksmartcard.VelkSCardControl;
import java.util.EnumMap;
import java.util.Map;
import java.util.TreeMap;
import javax.smartcardio.ATR;
import javax.smartcardio.Card;
import javax.smartcardio.CardChannel;
import javax.smartcardio.CardException;
import javax.smartcardio.ResponseAPDU;

/**
 * A connection to the card in a reader, as {@code CardTerminal.connect} of the {@code Velk}
 * provider returns it. Besides the {@code Card} methods it reads reader and card attributes
 * ({@link #getAttribute}), and it speaks to pin-pad readers: their features ({@link #features}),
 * PIN properties, and PIN entry on the reader's own keypad ({@link #verifyPin}, {@link
 * #modifyPin}).
 *
 * <p>Threads: any thread may use the card and its channels. {@link #beginExclusive} ties the
 * card to the calling thread until {@link #endExclusive}; meanwhile the other threads' calls
 * are refused with a {@code CardException}. {@code beginExclusive} and {@code endExclusive}
 * are serialized per card; transmissions are not serialized in Java (PC/SC lite serializes
 * the exchanges of one connection itself). After {@link #disconnect}, or once the card has
 * been removed, every method but {@code getATR}, {@code getProtocol} and {@code disconnect}
 * throws {@code IllegalStateException}.
 *
 * <p>After the PC/SC daemon restarts, a card of the old connection fails with {@code
 * CardException}; connecting again gives a new one.
 */
public final class VelkCard extends Card {
    private static final int OK = 0;
    private static final int REMOVED = 1;
    private static final int DISCONNECTED = 2;
    private static final byte[] OPEN_CHANNEL = {0x00, 0x70, 0x00, 0x00, 0x01};

    private final VelkTerminal terminal;
    final long handle;
    final int protocol;
    private final ATR atr;
    private final VelkChannel basicChannel;
    private volatile int state = OK;
    private volatile Thread exclusiveThread;

    private VelkCard(VelkTerminal terminal, long handle, int protocol, byte[] atr) {
        this.terminal = terminal;
        this.handle = handle;
        this.protocol = protocol;
        this.atr = new ATR(atr);
        this.basicChannel = new VelkChannel(this, 0);
    }

    static VelkCard connect(VelkTerminal terminal, ContextHolder contexts, ConnectMode mode)
            throws CardException {
        int[] active = new int[1];
        long handle;
        try {
            handle = contexts.call(context -> VelkSCard.SCardConnect(context, terminal.getName(),
                    mode.shareMode, mode.protocols, active));
        } catch (VelkCardException e) {
            throw Failures.connect(e);
        }
        try {
            return new VelkCard(terminal, handle, active[0],
                    VelkSCard.SCardStatus(handle, new int[1]));
        } catch (VelkCardException e) {
            try {
                VelkSCard.SCardDisconnect(handle, VelkSCard.SCARD_LEAVE_CARD);
            } catch (VelkCardException ignored) {
                // The connection is unusable either way.
            }
            throw Failures.connect(e);
        }
    }

    @Override
    public ATR getATR() {
        return atr;
    }

    @Override
    public String getProtocol() {
        switch (protocol) {
            case VelkSCard.SCARD_PROTOCOL_T0:
                return "T=0";
            case VelkSCard.SCARD_PROTOCOL_T1:
                return "T=1";
            default:
                return "Unknown protocol " + protocol;
        }
    }

    @Override
    public CardChannel getBasicChannel() {
        checkState();
        return basicChannel;
    }

    @Override
    public CardChannel openLogicalChannel() throws CardException {
        checkState();
        checkExclusive();
        byte[] response;
        try {
            response = VelkSCard.SCardTransmit(handle, protocol, OPEN_CHANNEL);
        } catch (VelkCardException e) {
            throw failed(e);
        }
        if (response.length != 3 || response[1] != (byte) 0x90 || response[2] != 0) {
            throw new CardException("openLogicalChannel() failed, card response: "
                    + Failures.hex(response));
        }
        int channel = response[0] & 0xFF;
        if (channel < 1 || channel > ClassByte.MAX_CHANNEL) {
            throw new CardException("openLogicalChannel() failed: the card opened channel "
                    + channel + ", which no class byte can address");
        }
        return new VelkChannel(this, channel);
    }

    @Override
    public synchronized void beginExclusive() throws CardException {
        checkState();
        Thread holder = exclusiveThread;
        if (holder != null) {
            throw new CardException(
                    "Exclusive access has already been assigned to Thread " + holder.getName());
        }
        try {
            VelkSCard.SCardBeginTransaction(handle);
        } catch (VelkCardException e) {
            throw failed(e);
        }
        exclusiveThread = Thread.currentThread();
    }

    @Override
    public synchronized void endExclusive() throws CardException {
        checkState();
        if (exclusiveThread != Thread.currentThread()) {
            throw new IllegalStateException("Exclusive access not assigned to current Thread");
        }
        try {
            VelkSCard.SCardEndTransaction(handle, VelkSCard.SCARD_LEAVE_CARD);
        } catch (VelkCardException e) {
            throw failed(e);
        } finally {
            exclusiveThread = null;
        }
    }

    /**
     * Sends a control command to the reader, as the JDK's provider does: the code goes to PC/SC
     * as given (on Linux, {@code VelkSCardControl.SCARD_CTL_CODE(function)}), under the same
     * state and exclusive-access rules as {@code transmit}.
     *
     * @param controlCode the control code
     * @param command the command bytes
     * @return the reader's answer
     * @throws CardException if PC/SC fails (a reader without the function gives {@code
     *     SCARD_E_UNSUPPORTED_FEATURE}), or another thread holds exclusive access
     * @throws IllegalStateException if the card has been disconnected or removed
     * @throws NullPointerException if {@code command} is null
     */
    @Override
    public byte[] transmitControlCommand(int controlCode, byte[] command) throws CardException {
        checkState();
        checkExclusive();
        if (command == null) {
            throw new NullPointerException();
        }
        try {
            return VelkSCardControl.SCardControl(handle, controlCode, command);
        } catch (VelkCardException e) {
            throw failed(e);
        }
    }

    /**
     * The reader's features, each with the control code that performs it, from its answer to
     * {@code CM_IOCTL_GET_FEATURE_REQUEST}. A reader without features (it refuses the request
     * with {@code SCARD_E_UNSUPPORTED_FEATURE}) gives an empty map; tags this provider does not
     * know are left out.
     *
     * <p>A whole PIN verification on a pin-pad reader:
     *
     * <pre>{@code
     * VelkCard card = (VelkCard) terminal.connect("*");
     * if (card.features().containsKey(ReaderFeature.VERIFY_PIN_DIRECT)) {
     *     byte[] verify = {0x00, 0x20, 0x00, 0x01, 0x08, -1, -1, -1, -1, -1, -1, -1, -1};
     *     PinVerification pin = PinVerification.builder(verify,
     *             PinFormat.builder(PinFormat.Encoding.ASCII).blockSize(8).build())
     *             .digits(4, 8).timeout(30).build();
     *     ResponseAPDU r = card.verifyPin(pin);  // the user types the PIN on the reader
     *     if (PinPadStatus.of(r) == PinPadStatus.CARD_ANSWERED && r.getSW() == 0x9000) {
     *         // verified
     *     }
     * }
     * }</pre>
     *
     * @return the features, in tag order
     * @throws CardException if PC/SC fails otherwise, or the answer is malformed (the message
     *     says where)
     * @throws IllegalStateException if the card has been disconnected or removed
     */
    public Map<ReaderFeature, Integer> features() throws CardException {
        byte[] answer;
        try {
            answer = transmitControlCommand(
                    VelkSCardControl.CM_IOCTL_GET_FEATURE_REQUEST, new byte[0]);
        } catch (CardException e) {
            if (unsupported(e)) {
                return new EnumMap<>(ReaderFeature.class);
            }
            throw e;
        }
        return ControlAnswers.features(answer);
    }

    /**
     * The reader's PIN entry properties: from {@link ReaderFeature#IFD_PIN_PROPERTIES}, with
     * the TLV properties of {@link ReaderFeature#GET_TLV_PROPERTIES} where the reader offers
     * them.
     *
     * @return the properties
     * @throws CardException if the reader has neither feature, PC/SC fails, or an answer is
     *     malformed
     * @throws IllegalStateException if the card has been disconnected or removed
     */
    public PinProperties pinProperties() throws CardException {
        Map<ReaderFeature, Integer> features = features();
        Integer pin = features.get(ReaderFeature.IFD_PIN_PROPERTIES);
        Integer tlvCode = features.get(ReaderFeature.GET_TLV_PROPERTIES);
        if (pin == null && tlvCode == null) {
            throw new CardException("the reader has neither FEATURE_IFD_PIN_PROPERTIES nor"
                    + " FEATURE_GET_TLV_PROPERTIES");
        }
        Map<Integer, byte[]> tlv = tlvCode == null
                ? new TreeMap<>()
                : ControlAnswers.tlvProperties(transmitControlCommand(tlvCode, new byte[0]));
        if (pin == null) {
            return ControlAnswers.fromTlv(tlv);
        }
        return ControlAnswers.pinProperties(transmitControlCommand(pin, new byte[0]), tlv);
    }

    /**
     * Lets the user type a PIN on the reader's keypad and sends the completed command to the
     * card (see {@link #features()} for a whole example). The PIN never passes through this
     * program.
     *
     * @param verification the command template and how the PIN goes into it
     * @return the card's answer, or the reader's ({@link PinPadStatus#of} tells them apart)
     * @throws CardException if the reader has no {@code FEATURE_VERIFY_PIN_DIRECT}, or PC/SC
     *     fails
     * @throws IllegalStateException if the card has been disconnected or removed
     */
    public ResponseAPDU verifyPin(PinVerification verification) throws CardException {
        return pinEntry(ReaderFeature.VERIFY_PIN_DIRECT, verification.toStructure());
    }

    /**
     * Lets the user change a PIN on the reader's keypad: the current PIN (if asked for), the new
     * one, and its confirmation (if asked for); then sends the completed command to the card.
     *
     * @param modification the command template and how the PINs go into it
     * @return the card's answer, or the reader's ({@link PinPadStatus#of} tells them apart)
     * @throws CardException if the reader has no {@code FEATURE_MODIFY_PIN_DIRECT}, or PC/SC
     *     fails
     * @throws IllegalStateException if the card has been disconnected or removed
     */
    public ResponseAPDU modifyPin(PinModification modification) throws CardException {
        return pinEntry(ReaderFeature.MODIFY_PIN_DIRECT, modification.toStructure());
    }

    private ResponseAPDU pinEntry(ReaderFeature feature, byte[] structure) throws CardException {
        Integer code = features().get(feature);
        if (code == null) {
            throw new CardException("the reader has no FEATURE_" + feature
                    + ": it cannot take the PIN on its own keypad");
        }
        byte[] answer = transmitControlCommand(code, structure);
        if (answer.length < 2) {
            throw Failures.noStatusWord(answer.length);
        }
        return new ResponseAPDU(answer);
    }

    private static boolean unsupported(CardException e) {
        return e.getCause() instanceof VelkCardException
                && ((VelkCardException) e.getCause()).getErrorCode()
                        == Failures.SCARD_E_UNSUPPORTED_FEATURE;
    }

    /**
     * Reads a reader or card attribute, such as {@code VelkSCard.SCARD_ATTR_VENDOR_NAME}.
     *
     * @param attributeId the PC/SC attribute id, for example one of the {@code SCARD_ATTR_*}
     *     constants of {@link VelkSCard}
     * @return the attribute's value (at most 2048 bytes), or {@code null} when the reader does
     *     not support the attribute
     * @throws CardException if PC/SC fails, or another thread holds exclusive access
     * @throws IllegalStateException if the card has been disconnected or removed
     */
    public byte[] getAttribute(int attributeId) throws CardException {
        checkState();
        checkExclusive();
        try {
            return VelkSCard.SCardGetAttr(handle, attributeId);
        } catch (VelkCardException e) {
            throw failed(e);
        }
    }

    /**
     * Ends the connection: {@code reset} true resets the card, false leaves it as it is. Does
     * nothing once the card has been disconnected.
     */
    @Override
    public void disconnect(boolean reset) throws CardException {
        int was = state;
        if (was == DISCONNECTED) {
            return;
        }
        if (was == OK) {
            checkExclusive();
        }
        try {
            VelkSCard.SCardDisconnect(
                    handle, reset ? VelkSCard.SCARD_RESET_CARD : VelkSCard.SCARD_LEAVE_CARD);
        } catch (VelkCardException e) {
            // A removed card's handle is released quietly; its failure was reported already.
            if (was == OK) {
                throw Failures.card(e);
            }
        } finally {
            state = DISCONNECTED;
            exclusiveThread = null;
        }
    }

    /** Whether the connection still works: PC/SC still knows its handle. */
    boolean isValid() {
        if (state != OK) {
            return false;
        }
        try {
            VelkSCard.SCardStatus(handle, new int[1]);
            return true;
        } catch (VelkCardException e) {
            state = REMOVED;
            return false;
        }
    }

    void checkState() {
        int s = state;
        if (s == DISCONNECTED) {
            throw new IllegalStateException("Card has been disconnected");
        } else if (s == REMOVED) {
            throw new IllegalStateException("Card has been removed");
        }
    }

    void checkExclusive() throws CardException {
        Thread holder = exclusiveThread;
        if (holder != null && holder != Thread.currentThread()) {
            throw new CardException("Exclusive access established by another Thread");
        }
    }

    /** A failure of this card's connection; a removed card is unusable from then on. */
    CardException failed(VelkCardException e) {
        if (e.getErrorCode() == Failures.SCARD_W_REMOVED_CARD) {
            state = REMOVED;
        }
        return Failures.card(e);
    }

    @Override
    public String toString() {
        String[] states = {"OK", "REMOVED", "DISCONNECTED"};
        return "PC/SC card in " + terminal.getName() + ", protocol " + getProtocol() + ", state "
                + states[state];
    }
}
