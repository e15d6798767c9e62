import com.vormel.kx.smartcardio.VelkProvider;
import java.security.Security;
import javax.smartcardio.Card;
import javax.smartcardio.CardTerminal;
import javax.smartcardio.CardTerminals;
import javax.smartcardio.CommandAPDU;
import javax.smartcardio.ResponseAPDU;
import javax.smartcardio.TerminalFactory;

/**
 * Picks a {@code javax.smartcardio} terminal factory by one of the routes a program has, then
 * reads from each card through it and prints what it got. Java 8 API only: the matrix runs it
 * on every VM the jar supports.
 *
 * <p>Usage: {@code RouteProbe instance|inserted|default}: a provider object given to
 * {@code getInstance}, a provider inserted first in the VM's list, or the VM's default
 * factory (which {@code -Djava.security.properties} chooses).
 */
public final class RouteProbe {
    private static final byte[] READ_BINARY = {0x00, (byte) 0xB0, 0x00, 0x00, 0x04};

    public static void main(String[] args) throws Exception {
        TerminalFactory factory;
        if (args[0].equals("instance")) {
            factory = TerminalFactory.getInstance("PC/SC", null, new VelkProvider());
        } else if (args[0].equals("inserted")) {
            Security.insertProviderAt(new VelkProvider(), 1);
            factory = TerminalFactory.getInstance("PC/SC", null);
        } else {
            factory = TerminalFactory.getDefault();
        }
        System.out.println("provider " + factory.getProvider().getName());
        for (CardTerminal terminal : factory.terminals().list(CardTerminals.State.CARD_PRESENT)) {
            Card card = terminal.connect("*");
            ResponseAPDU response = card.getBasicChannel().transmit(new CommandAPDU(READ_BINARY));
            StringBuilder data = new StringBuilder();
            for (byte b : response.getData()) {
                data.append(String.format("%02X", b));
            }
            System.out.printf(
                "%s: %s %s %04X%n", terminal.getName(), card.getProtocol(), data, response.getSW());
            card.disconnect(false);
        }
    }
}
