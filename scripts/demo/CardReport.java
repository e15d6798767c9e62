import java.util.HexFormat;
import javax.smartcardio.Card;
import javax.smartcardio.CardChannel;
import javax.smartcardio.CardTerminal;
import javax.smartcardio.CommandAPDU;
import javax.smartcardio.ResponseAPDU;
import javax.smartcardio.TerminalFactory;

/**
 * A plain javax.smartcardio program: lists the readers of the default terminal factory and
 * sends the APDUs given as arguments to the card in each. It names no provider; the VM's
 * security configuration picks one.
 *
 * <pre>java CardReport.java 00A4040007A0000002471001 ...</pre>
 */
public class CardReport {
    public static void main(String[] args) throws Exception {
        HexFormat hex = HexFormat.of().withUpperCase();
        TerminalFactory factory = TerminalFactory.getDefault();
        System.out.println("provider " + factory.getProvider().getName());
        for (CardTerminal terminal : factory.terminals().list()) {
            if (!terminal.isCardPresent()) {
                System.out.println(terminal.getName() + ": no card");
                continue;
            }
            Card card = terminal.connect("*");
            System.out.println(terminal.getName() + ": " + card.getProtocol() + ", ATR "
                    + hex.formatHex(card.getATR().getBytes()));
            CardChannel channel = card.getBasicChannel();
            for (String apdu : args) {
                ResponseAPDU response = channel.transmit(new CommandAPDU(hex.parseHex(apdu)));
                System.out.printf("  %s -> %s %04X%n", apdu, hex.formatHex(response.getData()),
                        response.getSW());
            }
            card.disconnect(false);
        }
    }
}
