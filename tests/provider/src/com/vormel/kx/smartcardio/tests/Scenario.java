package com.vormel.kx.smartcardio.tests;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.vormel.kx.platform.velksmartcard.VelkCardException;
import com.vormel.kx.testkit.Patience;
import com.vormel.kx.testkit.VirtualCard;
import java.nio.ByteBuffer;
import java.util.HexFormat;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.concurrent.FutureTask;
import java.util.concurrent.TimeUnit;
import java.util.regex.Matcher;
import java.util.regex.Pattern;
import javax.smartcardio.Card;
import javax.smartcardio.CardChannel;
import javax.smartcardio.CardTerminal;
import javax.smartcardio.CardTerminals;
import javax.smartcardio.CommandAPDU;
import javax.smartcardio.ResponseAPDU;
import javax.smartcardio.TerminalFactory;

/**
 * A short javax.smartcardio program on the stack's two cards (chains-t1.vcard in the first
 * reader, chains-t0.vcard in the second), run through one provider: what it observes at each
 * step, a value or the exception it met. It takes the second card out and puts it back, and
 * leaves both cards in and unconnected, so that it runs the same way again.
 */
final class Scenario {
    static final HexFormat HEX = HexFormat.of().withUpperCase();
    private static final Pattern PCSC_CODE = Pattern.compile("failed with code (SCARD_\\w+) ");
    // CM_IOCTL_GET_FEATURE_REQUEST: vpcd refuses it, as it refuses every control code.
    private static final int FEATURES = 0x42000000 + 3400;

    /** One step of the program; what it returns is what the program observes. */
    interface Step {
        Object run() throws Exception;
    }

    private final Map<String, String> seen = new LinkedHashMap<>();

    private Scenario() {}

    /** Runs the program through the factory's provider; its observations by step. */
    static Map<String, String> run(TerminalFactory factory) throws Exception {
        Scenario s = new Scenario();
        CardTerminals terminals = factory.terminals();
        s.lists("", terminals);
        s.step("getTerminal of an unknown name", () -> terminals.getTerminal("no such reader"));
        CardTerminal one = terminals.getTerminal(VirtualCard.t1().reader());
        CardTerminal two = terminals.getTerminal(VirtualCard.t0().reader());
        s.step("presence", () -> one.isCardPresent() + " " + two.isCardPresent());
        s.step("card waits on a full reader",
                () -> one.waitForCardPresent(0) + " " + one.waitForCardAbsent(1));
        s.cardOne(one);
        s.cardTwo(two);
        s.step("waitForChange with nothing changing", () -> terminals.waitForChange(1));
        VirtualCard.t0().remove();
        s.step("card 2 taken out", () -> two.waitForCardAbsent(Patience.MILLIS) + " "
                + terminals.waitForChange(Patience.MILLIS) + " " + two.isCardPresent());
        s.step("connect to the empty reader", () -> two.connect("*"));
        s.lists("after the removal, ", terminals);
        VirtualCard.t0().insert();
        s.step("card 2 put back", () -> two.waitForCardPresent(Patience.MILLIS) + " "
                + terminals.waitForChange(Patience.MILLIS));
        s.lists("after the insertion, ", terminals);
        s.pinPad(terminals.getTerminal(VirtualCard.pinPad().reader()));
        return s.seen;
    }

    // The T=1 card: connection, response handling, logical channels, exclusive use.
    private void cardOne(CardTerminal terminal) throws Exception {
        step("connect T=2", () -> terminal.connect("T=2"));
        step("connect T=0 to a T=1 card", () -> terminal.connect("T=0"));
        Card card = terminal.connect("*");
        step("ATR and protocol", () -> HEX.formatHex(card.getATR().getBytes()) + " "
                + card.getProtocol() + " " + (terminal.connect("T=1") == card));
        step("connect T=0 while connected", () -> terminal.connect("T=0"));
        CardChannel basic = card.getBasicChannel();
        step("61 xx chain", transmit(basic, "00CB000000"));
        step("6C xx, case 2", transmit(basic, "00B2010400"));
        step("6C xx, case 1", transmit(basic, "80100000"));
        step("6C xx, case 3", transmit(basic, "8014000002AABB"));
        step("6C xx, case 4", transmit(basic, "8012000002AABB00"));
        step("256 bytes", () -> basic.transmit(command("00CA000000")).getNr());
        step("MANAGE CHANNEL through transmit", transmit(basic, "0070000001"));
        step("ByteBuffer chain", () -> {
            ByteBuffer command = ByteBuffer.wrap(HEX.parseHex("00CB000000"));
            ByteBuffer response = ByteBuffer.allocate(300);
            int n = basic.transmit(command, response);
            return n + " " + HEX.formatHex(response.array(), 0, response.position()) + " "
                    + command.remaining();
        });
        step("ByteBuffer of 257 bytes", () -> basic.transmit(
                ByteBuffer.wrap(HEX.parseHex("00CB000000")), ByteBuffer.allocate(257)));
        CardChannel[] logical = new CardChannel[1];
        step("open a channel", () -> (logical[0] = card.openLogicalChannel()).getChannelNumber());
        step("61 xx chain on channel 1", () -> logical[0].transmit(command("00CB000000")));
        step("close channel 1", () -> close(logical[0]));
        step("transmit on a closed channel", () -> logical[0].transmit(command("00CB000000")));
        step("open another", () -> (logical[0] = card.openLogicalChannel()).getChannelNumber());
        step("61 xx chain on channel 5", () -> logical[0].transmit(command("00CB000000")));
        step("secure messaging on channel 5", () -> logical[0].transmit(command("08CA020000")));
        step("close channel 5", () -> close(logical[0]));
        step("close the basic channel", () -> close(basic));
        card.beginExclusive();
        step("another thread while exclusive",
                () -> onAnotherThread(transmit(basic, "00A4040000")));
        step("control on another thread while exclusive", () -> onAnotherThread(
                () -> card.transmitControlCommand(FEATURES, new byte[0])));
        step("endExclusive on another thread", () -> onAnotherThread(() -> {
            card.endExclusive();
            return "ended";
        }));
        card.endExclusive();
        step("control command", () -> card.transmitControlCommand(0x42000001, new byte[0]));
        step("feature request", () -> card.transmitControlCommand(FEATURES, new byte[0]));
        step("control without command", () -> card.transmitControlCommand(FEATURES, null));
        card.disconnect(false);
        step("control after disconnect",
                () -> card.transmitControlCommand(FEATURES, new byte[0]));
        step("transmit after disconnect", transmit(basic, "00A4040000"));
        step("connect after disconnect", () -> {
            Card again = terminal.connect("*");
            again.disconnect(true);
            return again != card;
        });
    }

    // The virtual pin-pad: its features, properties and a PIN typed on its keypad.
    private void pinPad(CardTerminal terminal) throws Exception {
        Card card = terminal.connect("*");
        byte[] none = new byte[0];
        step("pin-pad features", () -> card.transmitControlCommand(FEATURES, none));
        step("pin-pad properties", () -> card.transmitControlCommand(0x42000DB6, none));
        step("pin-pad TLV properties", () -> card.transmitControlCommand(0x42000DBE, none));
        step("pin-pad unknown code", () -> card.transmitControlCommand(0x42000001, none));
        byte[] verify = HEX.parseHex("1E00820800080402000904000000000D000000"
                + "0020000108FFFFFFFFFFFFFFFF");
        VirtualCard.keypad("type 1234");
        step("pin-pad verify", () -> card.transmitControlCommand(0x42000DB2, verify));
        VirtualCard.keypad("cancel");
        step("pin-pad verify cancelled", () -> card.transmitControlCommand(0x42000DB2, verify));
        step("pin-pad malformed structure",
                () -> card.transmitControlCommand(0x42000DB2, HEX.parseHex("1E00")));
        card.disconnect(false);
    }

    // The T=0 card: case 4 without Le, chains and re-sends on T=0.
    private void cardTwo(CardTerminal terminal) throws Exception {
        step("connect T=1 to a T=0 card", () -> terminal.connect("T=1"));
        Card card = terminal.connect("T=0");
        step("T=0 ATR and protocol",
                () -> HEX.formatHex(card.getATR().getBytes()) + " " + card.getProtocol());
        CardChannel basic = card.getBasicChannel();
        step("T=0 case 4 answered through GET RESPONSE", transmit(basic, "00A40400023F0000"));
        step("T=0 61 xx chain", transmit(basic, "80CB000000"));
        step("T=0 6C xx, case 2", transmit(basic, "00B0000000"));
        step("T=0 6C xx, case 4", transmit(basic, "8012000002AABB00"));
        step("T=0 extended length", transmit(basic, "00CA00000003E8"));
        card.disconnect(false);
    }

    private void lists(String when, CardTerminals terminals) {
        for (CardTerminals.State state : CardTerminals.State.values()) {
            step(when + "list " + state, () -> terminals.list(state));
        }
    }

    private void step(String label, Step step) {
        seen.put(label, outcome(step));
    }

    /** The value as text, or the exception: its class and its PC/SC code or message. */
    static String outcome(Step step) {
        try {
            Object value = step.run();
            if (value instanceof byte[] bytes) {
                return HEX.formatHex(bytes);
            } else if (value instanceof ResponseAPDU response) {
                return HEX.formatHex(response.getBytes());
            } else if (value instanceof List<?> list) {
                return list.stream().map(t -> ((CardTerminal) t).getName()).toList().toString();
            }
            return String.valueOf(value);
        } catch (Exception e) {
            return thrown(e);
        }
    }

    // A failure from PC/SC shows as its code: the providers' messages and causes differ by
    // design. Velk's message must be the bridge's text, its cause the bridge's exception.
    private static String thrown(Exception e) {
        String name = e.getClass().getSimpleName();
        Throwable cause = e.getCause();
        if (cause instanceof VelkCardException bridge) {
            assertEquals(bridge.getMessage(), e.getMessage(), "the bridge's text");
            Matcher code = PCSC_CODE.matcher(bridge.getMessage());
            assertTrue(code.find(), bridge.getMessage());
            return name + " " + code.group(1);
        } else if (cause != null && cause.getClass().getSimpleName().equals("PCSCException")) {
            return name + " " + cause.getMessage();
        }
        return name + ": " + e.getMessage();
    }

    private static String onAnotherThread(Step step) throws Exception {
        FutureTask<String> task = new FutureTask<>(() -> outcome(step));
        new Thread(task).start();
        return task.get(Patience.MILLIS, TimeUnit.MILLISECONDS);
    }

    private static CommandAPDU command(String hex) {
        return new CommandAPDU(HEX.parseHex(hex));
    }

    private static Step transmit(CardChannel channel, String hex) {
        return () -> channel.transmit(command(hex));
    }

    private static String close(CardChannel channel) throws Exception {
        channel.close();
        return "closed";
    }
}
